#pragma once
// Web addresses the program opens in the browser, in one place.

// The token vendor's driver download page (the outdated-driver question).
inline constexpr const char* DriverDownloadUrl = "https://example.org/tokvel/drivers";
// The maker's documentation page (Help without the help file).
inline constexpr const char* DocumentationUrl = "https://example.org/velmora/docs/egais";
