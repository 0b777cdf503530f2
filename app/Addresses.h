// Where Korvane's web site, mail and driver database live: build settings
// (KORVANE_HOMEPAGE and the others in the top CMakeLists.txt, see README).
#pragma once

namespace korvane::addresses {

extern const char* const kHomepage;  // web site root, no trailing "/"
extern const char* const kDatabaseUrl;
extern const char* const kSupportMail;
extern const char* const kInfoMail;
extern const char* const kRussianMail;

}  // namespace korvane::addresses
