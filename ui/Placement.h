#pragma once

class QWidget;

namespace velmora {

/// Places a window in the centre of the desktop (the available area of its parent's screen, or of the primary
/// screen), so that it does not open over its parent as dialogs do. Called before the window is shown (a window
/// moved before it is shown keeps its place); once the window manager has put its frame around the window, the
/// frame is centred.
void CentreOnDesktop(QWidget& window);

} // namespace velmora
