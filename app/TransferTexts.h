// The transfer component's words in an interface language.
#pragma once

#include "app/Languages.h"
#include "update/WebCopy.h"

namespace korvane {

// The dialog's labels, the units of its sizes, rates and times, and the error texts.
void setTransferTexts(TWebCopy& copy, Lang lang);

}  // namespace korvane
