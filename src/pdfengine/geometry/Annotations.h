#pragma once

#include "pdfengine/geometry/Affine.h"

#include <qpdf/QPDFObjGen.hh>
#include <qpdf/QPDFObjectHandle.hh>

#include <map>
#include <set>

namespace plait::pdf::geometry {

// Moves the annotations of `page` with its content: rectangles, point lists and, when `cm`
// turns or mirrors, the appearance streams. Annotations are changed in place so form fields,
// popups and structure references keep pointing at them. An annotation already moved for
// another page (`moved` keeps each one's state from before its move) is copied from that
// state first, so no annotation is transformed twice.
using MovedAnnotations = std::map<QPDFObjGen, QPDFObjectHandle>;
void transformAnnotations(QPDFObjectHandle page, const Affine& cm, MovedAnnotations& moved);

// Gives `page` its own copy of every annotation that already sits on another page of the
// output (`placed` holds those, and gains this page's): a page taken twice would otherwise
// share one link or note object between both, and a change made for one copy (a target
// repointed, a link removed, a move) would show on the other. A popup and the note it belongs
// to are copied together and keep pointing at each other. Form field widgets stay shared: a
// copy would be a widget of no field.
void ownAnnotations(QPDFObjectHandle page, std::set<QPDFObjGen>& placed);

} // namespace plait::pdf::geometry
