#include "cli/ProxyCommand.h"

#include <istream>
#include <optional>
#include <ostream>

#include "app/BalvikProxyUnit.h"

namespace korvane {

namespace {

std::string text(Msg msg, Lang lang, const std::string& argument = {}) {
  return formatMessage(message(msg, lang), {argument});
}

struct ProxyOptions {
  bool system = false;
  std::optional<std::string> address, port, user;
  bool passwordFromInput = false;
};

bool isPort(const std::string& text) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  const int port = std::stoi(text);
  return port >= 1 && port <= 65535;
}

std::optional<ProxyOptions> parseProxyOptions(const std::vector<std::string>& options) {
  ProxyOptions parsed;
  for (size_t k = 0; k < options.size(); ++k) {
    const std::string& option = options[k];
    const bool hasValue = k + 1 < options.size();
    if (option == "--system" && !parsed.system)
      parsed.system = true;
    else if (option == "--address" && hasValue && !parsed.address)
      parsed.address = options[++k];
    else if (option == "--port" && hasValue && !parsed.port)
      parsed.port = options[++k];
    else if (option == "--user" && hasValue && !parsed.user)
      parsed.user = options[++k];
    else if (option == "--password-stdin" && !parsed.passwordFromInput)
      parsed.passwordFromInput = true;
    else
      return std::nullopt;
  }
  const bool own = parsed.address || parsed.port || parsed.user || parsed.passwordFromInput;
  if (parsed.system && own) return std::nullopt;
  if (own && (!parsed.address || parsed.address->empty() || parsed.address->find_first_of(" \t:") != std::string::npos ||
              !parsed.port || !isPort(*parsed.port)))
    return std::nullopt;
  if (parsed.passwordFromInput && (!parsed.user || parsed.user->empty())) return std::nullopt;
  return parsed;
}

// The first line of the input, without its line end; nullopt when there is none.
std::optional<std::string> readPassword(std::istream& in) {
  std::string line;
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) return std::nullopt;
  return line;
}

// What a user would do in the dialog: tick or untick the box, fill the fields, OK.
void answerDialog(TForm2& dialog, const ProxyOptions& options, const std::string& password) {
  dialog.CheckBox1.Checked = options.system;
  dialog.CheckBox1Click();
  if (!options.system) {
    dialog.Edit1.Caption = *options.address;
    dialog.Edit2.Caption = *options.port;
    dialog.Edit3.Caption = options.user.value_or("");
    dialog.Edit4.Caption = password;
  }
  dialog.Button1Click();
}

void printSettings(const TForm1& form, Lang lang, std::ostream& out) {
  if (form.AutoProxy != "Non") {
    out << text(Msg::CliProxySystem, lang) << '\n';
    return;
  }
  out << text(Msg::CliProxyOwn, lang, form.WC1.Proxy) << '\n';
  if (form.WC1.ProxyUserID.empty()) return;
  const Msg user = form.WC1.ProxyPassword.empty() ? Msg::CliProxyUserNoPassword : Msg::CliProxyUser;
  out << text(user, lang, form.WC1.ProxyUserID) << '\n';
}

}  // namespace

bool runProxyCommand(TForm1& form, TerminalView& view, const std::vector<std::string>& options, Lang lang,
                     std::istream& in, std::ostream& out, std::string& error) {
  const auto parsed = parseProxyOptions(options);
  if (!parsed) {
    error = text(Msg::CliProxyOptions, lang);
    return false;
  }
  if (!options.empty()) {
    std::string password;
    if (parsed->passwordFromInput) {
      const auto read = readPassword(in);
      if (!read) {
        error = text(Msg::CliProxyNoPassword, lang);
        return false;
      }
      password = *read;
    }
    view.proxyAnswer = [&](TForm2& dialog) { answerDialog(dialog, *parsed, password); };
    const bool clicked = form.Click("Proxysettings1");
    view.proxyAnswer = nullptr;
    if (!clicked) {
      error = text(Msg::CliCommandFailed, lang);
      return false;
    }
  }
  printSettings(form, lang, out);
  return true;
}

}  // namespace korvane
