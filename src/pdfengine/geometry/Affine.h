#pragma once

#include <qpdf/QPDFMatrix.hh>

#include <cmath>

namespace plait::pdf::geometry {

// A 2-D affine map in the PDF's row-vector convention: x' = a x + c y + e, y' = b x + d y + f.
// Built step by step with then(), which reads in the order the steps happen.
struct Affine {
    double a = 1, b = 0, c = 0, d = 1, e = 0, f = 0;

    static Affine translate(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
    static Affine scale(double s) { return {s, 0, 0, s, 0, 0}; }
    // Clockwise as seen on the page (y up), in degrees.
    static Affine rotateClockwise(double degrees) {
        const double r = degrees * M_PI / 180.0;
        return {std::cos(r), -std::sin(r), std::sin(r), std::cos(r), 0, 0};
    }

    // This map followed by `next`.
    Affine then(const Affine& n) const {
        return {a * n.a + b * n.c, a * n.b + b * n.d,       c * n.a + d * n.c,
                c * n.b + d * n.d, e * n.a + f * n.c + n.e, e * n.b + f * n.d + n.f};
    }

    Affine inverse() const {
        const double det = a * d - b * c;
        return {d / det, -b / det, -c / det, a / det, (c * f - d * e) / det, (b * e - a * f) / det};
    }

    void apply(double x, double y, double& xp, double& yp) const {
        xp = a * x + c * y + e;
        yp = b * x + d * y + f;
    }

    bool isIdentity(double eps = 1e-9) const {
        return std::fabs(a - 1) < eps && std::fabs(b) < eps && std::fabs(c) < eps && std::fabs(d - 1) < eps &&
               std::fabs(e) < eps && std::fabs(f) < eps;
    }

    // True when the map turns or mirrors (anything beyond positive scaling and moving).
    bool turns(double eps = 1e-9) const { return std::fabs(b) > eps || std::fabs(c) > eps || a < 0 || d < 0; }

    QPDFMatrix toQpdf() const { return QPDFMatrix(a, b, c, d, e, f); }
};

} // namespace plait::pdf::geometry
