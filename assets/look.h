#pragma once
// The look the window layouts are drawn for: their face, Tahoma, at a size in pixels, and
// text colours set through a widget's palette. Every window and panel takes its fonts and
// colours from here, so that the face and the way a colour is set are written once.
#include <QColor>
#include <QFont>
#include <QPalette>

#include <initializer_list>

class QWidget;

namespace vel {

// The layouts are drawn for Tahoma; where it is missing, a face of about its width stands
// in for it. Called once before the first window is laid out.
void SubstituteDesignFace();

// Tahoma of `pixels` px, bold when asked.
QFont DesignFont(int pixels, bool bold = false);

// The widget's text in `colour` for each of `roles` (by default the text of labels).
void SetTextColour(QWidget *w, const QColor &colour,
                   std::initializer_list<QPalette::ColorRole> roles = {QPalette::WindowText});

} // namespace vel
