// What the main window needs from a face: the Win32 window, the terminal, or
// the scripted view of the tests. TForm1 keeps every state itself and tells
// the view what changed; it never draws.
#pragma once

#include <optional>
#include <string>

namespace korvane {

class TAbout;
class TForm2;
class TListView;
struct TOpenDialog;

// A modal folder dialog: a folder tree, a folder box and two buttons.
struct FolderDialog {
  std::string caption, label, okCaption, cancelCaption;
  std::string folder;  // shown first; also the answer when the window is closed
};

// A one-line input box: a caption, a prompt before the box, the text it
// shows first and its two buttons.
struct InputQuery {
  std::string caption, prompt, text, okCaption, cancelCaption;
};

class View {
 public:
  virtual ~View() = default;

  virtual void listChanged(const std::string& name, const TListView& list) = 0;
  virtual void memoCleared() = 0;
  virtual void memoAppended(const std::string& line) = 0;
  // Text added to the end of the memo's last line, as rows of progress dots are.
  virtual void memoTextAppended(const std::string& text) = 0;
  virtual void statusChanged(const std::string& text) = 0;
  // Captions, check marks, visibility or places of controls changed.
  virtual void controlsChanged() = 0;

  virtual void showMessage(const std::string& text) = 0;
  virtual bool askYesNo(const std::string& text) = 0;
  // A yes/no question under a caption of its own; faces without captions ask it plainly.
  virtual bool confirm(const std::string& /*caption*/, const std::string& text) { return askYesNo(text); }
  // The open-file dialog: the chosen file's full path, nullopt when cancelled.
  virtual std::optional<std::string> chooseFileToOpen(const TOpenDialog& dialog) = 0;
  // The folder the user chose with OK, the dialog's own folder when the
  // window was closed, nullopt for Cancel.
  virtual std::optional<std::string> chooseFolder(const FolderDialog& dialog) = 0;
  // The proxy dialog, modal: the face shows its controls, runs its
  // CheckBox1Click when the box changes and its Button1Click for OK, and
  // leaves the edits' texts in it however the dialog closes. A face
  // without dialogs closes it at once, as by its close box.
  virtual void showProxyDialog(TForm2& /*dialog*/) {}
  // The about box, modal: the face runs its mouse and click handlers as the
  // user points at and clicks its lines.
  virtual void showAbout(TAbout& /*dialog*/) {}
  // The text the user confirmed in an input box; nullopt for Cancel.
  virtual std::optional<std::string> askText(const InputQuery& query) = 0;
  // Lets the face handle its pending input between the steps of a long command.
  virtual void processMessages() = 0;
};

}  // namespace korvane
