#pragma once
// The stimulus pictures of the choice test, drawn: a green triangle pointing up (left
// hand) and a red triangle pointing down (right hand), StimulusSize each.
#include <QPixmap>
#include <QSize>

#include <cstdint>

namespace vel::choice {

inline constexpr QSize StimulusSize{160, 152};

// The picture of a stimulus kind (GreenKind, RedKind); an empty one for any other kind.
QPixmap StimulusPicture(uint8_t kind);

} // namespace vel::choice
