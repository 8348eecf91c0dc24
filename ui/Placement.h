#pragma once

class QWidget;

namespace velmora {

/// Places a window that is not shown yet in the centre of the desktop (the available area of its parent's screen,
/// or of the primary screen), so that it does not open over its parent as dialogs do.
void CentreOnDesktop(QWidget& window);

} // namespace velmora
