// The shipped translations: complete, with every placeholder kept, and loaded for the user's
// language, while the tests themselves run in English.
#include "gui/app/Translations.h"
#include "gui/ui/CoreTexts.h"
#include "gui/ui/QtServices.h"
#include "gui/ui/TestApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTranslator>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

using namespace plait;

namespace {

QString translationSources() {
    return QStringLiteral(PLAIT_TEST_DATA_DIR "/../../translations");
}

} // namespace

TEST(Translations, EveryShippedTranslationIsFinishedAndKeepsItsPlaceholders) {
    const QStringList files = QDir(translationSources()).entryList({QStringLiteral("pdfplait_*.ts")});
    ASSERT_FALSE(files.isEmpty());
    for (const QString& name : files) {
        QFile file(translationSources() + QLatin1Char('/') + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        QXmlStreamReader xml(&file);
        QString source;
        int messages = 0;
        while (!xml.atEnd()) {
            xml.readNext();
            if (!xml.isStartElement()) {
                continue;
            }
            if (xml.name() == QLatin1String("source")) {
                source = xml.readElementText();
                ++messages;
            } else if (xml.name() == QLatin1String("translation")) {
                const QString type = xml.attributes().value(QLatin1String("type")).toString();
                EXPECT_TRUE(type.isEmpty())
                    << name.toStdString() << ": " << type.toStdString() << ": " << source.toStdString();
                const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
                EXPECT_FALSE(text.trimmed().isEmpty()) << name.toStdString() << ": " << source.toStdString();
                static const QRegularExpression placeholder(QStringLiteral("%(\\d|n)"));
                for (auto it = placeholder.globalMatch(source); it.hasNext();) {
                    const QString p = it.next().captured();
                    EXPECT_TRUE(text.contains(p))
                        << name.toStdString() << ": " << source.toStdString() << " lacks " << p.toStdString();
                }
            }
        }
        EXPECT_FALSE(xml.hasError()) << name.toStdString() << ": " << xml.errorString().toStdString();
        EXPECT_GT(messages, 100) << name.toStdString();
    }
}

#ifdef PLAIT_TRANSLATIONS_DIR
// The compiled German translation turns the logic's texts and the window's own into German; a
// language with no translation leaves every text in English.
TEST(Translations, TheGermanTranslationIsLoadedForAGermanUser) {
    test::testApp();
    const QStringList folders =
        gui::translationFolders(QStringLiteral("/nonexistent/bin"), QStringLiteral(PLAIT_TRANSLATIONS_DIR));
    EXPECT_EQ(folders.size(), 2);
    EXPECT_TRUE(gui::installTranslations(QLocale(QLocale::Zulu), folders).isEmpty());
    EXPECT_EQ(gui::coreText("Error parsing input file."), "Error parsing input file.");

    QTranslator german;
    ASSERT_TRUE(german.load(QLocale(QLocale::German, QLocale::Germany), QStringLiteral("pdfplait"),
                            QStringLiteral("_"), QStringLiteral(PLAIT_TRANSLATIONS_DIR)));
    QCoreApplication::installTranslator(&german);
    QMessageBox box;
    gui::QtMessageBox::fill(box, "Error parsing input file.", "File: /in/a.pdf", "Error", ui::Icon::Critical,
                            ui::Buttons::Ok);
    const QString settings = gui::coreText("&Settings...");
    const QString cancelled = gui::coreText("Build cancelled");
    const QString built = gui::coreText("Built a.pdf: 2 pages, 1 KB");
    const QString hint = QCoreApplication::translate(
        "plait::gui::MainWindowView", "To start, add PDFs or images with Add, or drop them here.");
    QCoreApplication::removeTranslator(&german);
    EXPECT_EQ(box.text(), QString::fromUtf8("Fehler beim Lesen der Eingabedatei."));
    EXPECT_EQ(box.windowTitle(), "Fehler");
    EXPECT_EQ(settings, "&Einstellungen...");
    EXPECT_EQ(cancelled, "Erstellung abgebrochen");
    EXPECT_EQ(built, "Built a.pdf: 2 pages, 1 KB"); // made of parts: shown as it is
    EXPECT_TRUE(hint.startsWith(QStringLiteral("Fügen Sie"))) << hint.toStdString();
    // Once removed, the program is English again.
    EXPECT_EQ(gui::coreText("Error"), "Error");
}
#endif
