#include "app/TransferTexts.h"

#include <utility>

namespace korvane {

namespace {

using Text = TWebCopyTexts::Text;

constexpr std::pair<Text, Msg> kTexts[] = {
    {Text::IdenticalFiles, Msg::TransferIdenticalFiles},   {Text::CannotOpenSource, Msg::TransferCannotOpenSource},
    {Text::ZeroLength, Msg::TransferZeroLength},           {Text::CannotCreateFile, Msg::TransferCannotCreateFile},
    {Text::CannotCreateTarget, Msg::TransferCannotCreateTarget}, {Text::ReadError, Msg::TransferReadError},
    {Text::WriteError, Msg::TransferWriteError},           {Text::CannotConnect, Msg::TransferCannotConnect},
    {Text::CannotConnectFtp, Msg::TransferCannotConnectFtp}, {Text::HttpError, Msg::TransferHttpError},
    {Text::Incomplete, Msg::TransferIncomplete},           {Text::TimedOut, Msg::TransferTimedOut},
    {Text::UnsafeName, Msg::TransferUnsafeName},           {Text::TransferFailed, Msg::TransferFailed},
    {Text::Bytes, Msg::SizeBytes},                         {Text::Kb, Msg::SizeKb},
    {Text::Mb, Msg::SizeMb},                               {Text::SizeOf, Msg::SizeOf},
    {Text::RateBytes, Msg::RateBytes},                     {Text::RateKb, Msg::RateKb},
    {Text::RateMb, Msg::RateMb},                           {Text::Seconds, Msg::TimeSeconds},
    {Text::Minutes, Msg::TimeMinutes},                     {Text::Hours, Msg::TimeHours}};
static_assert(std::size(kTexts) == Text::Count, "every text of the component has its message");

}  // namespace

void setTransferTexts(TWebCopy& copy, Lang lang) {
  const auto text = [lang](Msg msg) { return std::string(message(msg, lang)); };
  copy.DlgCaption = text(Msg::TransferCaption);
  copy.DlgCompleted = text(Msg::TransferCompleted);
  copy.DlgCopying = text(Msg::TransferCopying);
  copy.DlgDwnload = text(Msg::TransferDownloading);
  copy.DlgUpload = text(Msg::TransferUploading);
  copy.DlgFileLabel = text(Msg::TransferFileLabel);
  copy.DlgFileOfLabel = text(Msg::TransferFileOf);
  copy.DlgFromServerLabel = text(Msg::TransferFrom);
  copy.DlgToServerLabel = text(Msg::TransferTo);
  copy.DlgProgressLabel = text(Msg::TransferProgressLabel);
  copy.DlgRateLabel = text(Msg::TransferRateLabel);
  copy.DlgTimeLabel = text(Msg::TransferTimeLabel);
  for (const auto& [slot, msg] : kTexts) copy.Texts.words[slot] = text(msg);
}

}  // namespace korvane
