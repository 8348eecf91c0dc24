#pragma once

#include <QString>

#include <functional>
#include <string>

namespace velmora {

/// The component of KDE's shortcut service that holds the shortcuts of the copy with this tag (CopyTag of its list
/// folder): "APPID.TAG", so that copies of different lists never touch each other's.
QString KdeComponent(const std::string& appId, const std::string& copyTag);

/// Where the session bus has KDE's shortcut service running: removes the shortcuts of this program's components
/// whose copy does not run (`copyRuns` of the component's tag is false), and those of the one component
/// ("APPID", no tag) that earlier versions shared. Components of running copies are left alone.
void RemoveKdeLeftovers(const std::string& appId, const std::function<bool(const std::string& copyTag)>& copyRuns);

} // namespace velmora
