// The Windows shell as the core sees it: the file-operation service (copy,
// move, delete and rename lists of files, with the shell's own rules for
// folders, wildcards and questions). The numbers are the shell's own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace korvane {

enum ShellFileFunction : unsigned { foMove = 1, foCopy = 2, foDelete = 3, foRename = 4 };

enum ShellFileFlag : uint32_t {
  fofMultiDestFiles = 0x1,      // one target per source instead of one target for all
  fofConfirmMouse = 0x2,
  fofSilent = 0x4,              // no progress window
  fofRenameOnCollision = 0x8,   // "Copy of <name>" instead of replacing an existing file
  fofNoConfirmation = 0x10,     // every question answered "Yes to all"
  fofWantMappingHandle = 0x20,
  fofAllowUndo = 0x40,          // deleted items go to the recycle bin
  fofFilesOnly = 0x80,          // wildcards match files only, not folders
  fofSimpleProgress = 0x100,    // progress window with the title only
  fofNoConfirmMkDir = 0x200     // missing target folders created without a question
};

struct ShellFileOperation {
  unsigned function = foCopy;
  // Full or relative paths (relative to the current folder); the last
  // component of a source may hold the wildcards "*" and "?".
  std::vector<std::string> from;
  // One target folder or name; one target per source with fofMultiDestFiles;
  // none for a delete.
  std::vector<std::string> to;
  uint32_t flags = 0;
  std::string progressTitle;  // shown only with fofSimpleProgress
};

struct ShellFileResult {
  int code = 0;          // 0 when the shell reports success, else its error code
  bool aborted = false;  // some part was cancelled, which the shell may report with code 0
  bool succeeded() const { return code == 0 && !aborted; }
};

class Shell {
 public:
  virtual ~Shell() = default;
  // Blocks until the operation is done; the live shell shows its own
  // progress window and questions as the flags allow.
  virtual ShellFileResult fileOperation(const ShellFileOperation& operation) = 0;
  // Whether a delete with fofAllowUndo puts files where the user can put them
  // back from: the Windows recycle bin, which remembers where each came from.
  virtual bool hasRecycleBin() = 0;
  // The "open" verb on a file, shown normally: a program runs, a document
  // opens in its program. False when the shell cannot open it.
  virtual bool open(const std::string& target) = 0;
  // Hands a program or document to the shell with a verb, parameters, a
  // working folder and a show mode (SW_SHOW is 5), and returns at once. The
  // file may be given in double quotes. False when the shell cannot start it.
  virtual bool execute(const std::string& verb, const std::string& file, const std::string& parameters,
                       const std::string& folder, int showCommand) = 0;
  // Puts plain text on the clipboard in place of what it held; false when
  // the clipboard cannot be had.
  virtual bool copyToClipboard(const std::string& text) = 0;
};

}  // namespace korvane
