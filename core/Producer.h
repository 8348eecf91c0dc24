#pragma once

namespace velmora {

/// The producer text written into the `generated` attribute of the list file and the settings file.
inline constexpr const char* kProducerText = "https://velmora.org/";
/// The project's web page (About box, Help menu).
inline constexpr const char* kWebSite = "https://velmora.org/";
/// The support mailbox (About box).
inline constexpr const char* kSupportMail = "support@velmora.org";

} // namespace velmora
