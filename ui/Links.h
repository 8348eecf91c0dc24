#pragma once

class QString;

namespace velmora {

/// Opens the project's web page in the desktop's default browser; returns true.
bool OpenWebSite();
/// Opens a new message to the support mailbox in the desktop's default mail program; returns true.
bool OpenMailTo();
/// Opens a folder in the desktop's file manager.
void OpenFolder(const QString& folder);

} // namespace velmora
