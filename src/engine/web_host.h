// The maker's web site: the host that serves the server list and the pages
// that the installer points the user to.
#pragma once

// Host name of the maker's web site.
inline constexpr const char kMakerHost[] = "www.example.com";

// Address of the maker's web site, as shown to the user.
inline constexpr const char kMakerSite[] = "http://www.example.com/";

// Page from which a newer installer can be downloaded.
inline constexpr const char kMakerDownloadPage[] = "http://www.example.com/download.html";
