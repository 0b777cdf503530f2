// What the main window needs from a face: the Win32 window, the terminal, or
// the scripted view of the tests. TForm1 keeps every state itself and tells
// the view what changed; it never draws.
#pragma once

#include <string>

namespace korvane {

class TListView;

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
  // Lets the face handle its pending input between the steps of a long command.
  virtual void processMessages() = 0;
};

}  // namespace korvane
