// The sentences of the catalogue for the cabinet library's error codes and
// the system errors met while packing or extracting.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "app/Languages.h"
#include "packaging/CabSTConsts.h"

namespace korvane {

// The system's text for an error code; empty for codes without one.
std::string systemErrorText(uint32_t code, Lang lang);
// "System Error.  Code: N." with the reason.
std::string systemErrorMessage(const ESystemError& error, Lang lang);
// A writer's error record: the text of its code, then the system's reason.
std::string cabinetErrorMessage(const ESTCabinet& error, Lang lang);
// A reader's error record as a sentence.
std::string fdiErrorText(const ERF& error, Lang lang);

// The error box's text for what ended a command: the catalogue's English
// sentence of a cabinet failure (the box has always shown those in English),
// what() of anything else.
std::string commandErrorText(const std::exception& error);

}  // namespace korvane
