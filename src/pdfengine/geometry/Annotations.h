#pragma once

#include "pdfengine/geometry/Affine.h"

#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>

namespace plait::pdf::geometry {

// Moves the annotations of `page` with its content: rectangles, point lists and, when `cm`
// turns or mirrors, the appearance streams. Annotations are changed in place so form fields,
// popups and structure references keep pointing at them. An annotation already moved for
// another page (`moved` keeps each one's state from before its move) is copied from that
// state first, so no annotation is transformed twice.
using MovedAnnotations = std::map<QPDFObjGen, QPDFObjectHandle>;
void transformAnnotations(QPDFObjectHandle page, const Affine& cm, MovedAnnotations& moved);

} // namespace plait::pdf::geometry
