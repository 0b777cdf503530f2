#include "app/Addresses.h"

namespace korvane::addresses {

const char* const kHomepage = KORVANE_HOMEPAGE;
const char* const kDatabaseUrl = KORVANE_DATABASE_URL;
const char* const kSupportMail = KORVANE_SUPPORT_MAIL;
const char* const kInfoMail = KORVANE_INFO_MAIL;
const char* const kRussianMail = KORVANE_RUSSIAN_MAIL;

}  // namespace korvane::addresses
