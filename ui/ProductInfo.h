// The maker's details and the fixed texts of the product, kept in one place.
// Windows-1252 text, like every text below the user interface.
#pragma once

inline constexpr const char* kMakerName = "Pollark Systems";
inline constexpr const char* kMakerPhone = "(555) 014-2290";
inline constexpr const char* kMakerFax = "(555) 014-2291";
inline constexpr const char* kMakerWebAddress = "https://www.pollark.example";
inline constexpr const char* kWebUpdateAddress = "https://www.pollark.example/updates/ondrik";
inline constexpr const char* kMakerEmail = "support@pollark.example";

// The about box's years line: "#START#" and "#END#" become the first and the
// current year.
inline constexpr const char* kYearsLine = "Copyright \xA9 #START#-#END# Pollark Systems";

// The data supplier's notice shown in the about box's notice panel.
inline constexpr const char* kDataNotice =
    "Vehicle identification and symbol data are provided by the data supplier "
    "and remain its property. The data are licensed for use with this program only; they may "
    "not be copied, extracted or passed on, in whole or in part, without the "
    "written consent of the data provider.\r\n\r\n"
    "The insurance symbols shown are valid for the effective date of the "
    "lookup. Pollark Systems redistributes them as received and accepts no "
    "responsibility for their accuracy.\r\n\r\n"
    "This software is based in part on the work of the Independent JPEG Group.";
