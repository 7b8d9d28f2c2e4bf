#pragma once
// The desktop's default beep (MessageBeep on Windows, the X bell here); silent where the
// window system has none.
namespace vel::platform {

void DefaultBeep();

} // namespace vel::platform
