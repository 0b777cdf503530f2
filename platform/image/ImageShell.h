// The shell of a machine image. File operations follow the Windows shell's
// rules over the image's file system; there is nobody to answer its
// questions, so a question the flags do not waive cancels the operation.
#pragma once

#include <filesystem>

#include "platform/Shell.h"
#include "platform/image/ImageFileSystem.h"

namespace korvane {

// Adds one line to an image's actions.log, where what would have run is recorded.
bool appendAction(const std::filesystem::path& actionsLog, const std::string& line);

class ImageShell : public Shell {
 public:
  ImageShell(ImageFileSystem& files, std::filesystem::path actionsLog)
      : files_(files), actionsLog_(std::move(actionsLog)) {}

  // Copy and move: into an existing target folder; a single source to a
  // missing target takes the target's name, several sources create the
  // target folder. Existing files are replaced (read-only ones too) or, with
  // fofRenameOnCollision, the new one is named "Copy of <name>". Every source
  // must exist before anything is done. A delete with fofAllowUndo moves the
  // items into the drive's "Recycled" folder.
  ShellFileResult fileOperation(const ShellFileOperation& operation) override;
  // The "Recycled" folder keeps no record of where its items came from.
  bool hasRecycleBin() override { return false; }
  // Nothing runs on an image: an existing file's opening is recorded in the
  // image's actions.log as the line "open <full path>".
  bool open(const std::string& target) override;
  // Recorded as one tab-separated line "execute, verb, file, parameters,
  // folder, show mode", the texts as given; the image runs nothing.
  bool execute(const std::string& verb, const std::string& file, const std::string& parameters,
               const std::string& folder, int showCommand) override;
  // Recorded as the line "clipboard", a tab and the text.
  bool copyToClipboard(const std::string& text) override;

 private:
  bool record(const std::string& line);

  ImageFileSystem& files_;
  std::filesystem::path actionsLog_;
};

}  // namespace korvane
