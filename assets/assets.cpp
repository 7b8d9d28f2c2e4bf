// The layouts are compiled into ui_*.h headers and the pictures into the resource
// ":/pictures/..."; this unit only anchors the library.
namespace assets {
int anchor() { return 0; }
}
