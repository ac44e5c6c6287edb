// The start-up floor of any program on Debian's libqpdf: it links the library (and with it the
// crypto library qpdf uses) and does nothing. A two-file merge can take no less than this.
#include <qpdf/QPDF.hh>

int main(int argc, char**) {
    if (argc > 99) { // never: keeps the library linked without running any of it
        QPDF pdf;
        pdf.emptyPDF();
    }
    return 0;
}
