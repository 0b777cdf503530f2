// One operation of the shell's file-operation service (copy, delete, move or
// rename) over a list of files, reported through events and a boolean result.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Machine.h"

namespace korvane {

enum TAHMFileFunction : int { opCopyFile, opDeleteFile, opMoveFile, opRenameFile };

enum TAHMFileFlag : int {
  opAllowUndo, opConfirmMouse, opFilesOnly, opMultiDestFiles, opNoConfirmation,
  opNoConfirmMkDir, opRenameOnCollision, opSilent, opSimpleProgress, opWantMappingHandle
};

class TAHMFileFlags {
 public:
  TAHMFileFlags() = default;
  TAHMFileFlags(std::initializer_list<TAHMFileFlag> flags);
  bool Contains(TAHMFileFlag flag) const { return (members_ & bit(flag)) != 0; }
  TAHMFileFlags& Include(TAHMFileFlag flag);
  TAHMFileFlags& Exclude(TAHMFileFlag flag);
  bool operator==(const TAHMFileFlags&) const = default;
  // The shell's flag word for the members.
  uint32_t ShellFlags() const;

 private:
  static uint32_t bit(TAHMFileFlag flag) { return uint32_t{1} << flag; }
  uint32_t members_ = 0;
};

// Misuse of the component: nothing was run.
class EAHMFileOperator : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TAHMFileOperator {
 public:
  using TNotifyEvent = std::function<void(TAHMFileOperator&)>;

  explicit TAHMFileOperator(Machine& machine);
  TAHMFileOperator(Machine& machine, TAHMFileFunction operation, TAHMFileFlags flags);

  // Runs the operation once over FilesFrom, DirFrom and DirTo; true when the
  // shell did all of it. Throws EAHMFileOperator when the folders are unusable.
  bool Execute();

  std::vector<std::string> FilesFrom;
  std::string DirFrom;  // put in front of every entry of FilesFrom
  std::string DirTo;    // the target folder, or the new name for a rename
  TAHMFileFunction Operation = opCopyFile;

  const TAHMFileFlags& Flags() const { return flags_; }
  void SetFlags(TAHMFileFlags flags);
  // The flag word of the operation record, kept in step with Flags.
  uint32_t FlagWord() const { return record_.flags; }

  TNotifyEvent OnSuccessCopy, OnSuccessDelete, OnSuccessMove, OnSuccessRename;
  TNotifyEvent OnFailCopy, OnFailDelete, OnFailMove, OnFailRename;
  TNotifyEvent OnDone;

 private:
  bool RunShell();
  void CreateMissingTarget();
  void Notify(const TNotifyEvent& event) {
    if (event) event(*this);
  }

  Machine& machine_;
  TAHMFileFlags flags_;
  ShellFileOperation record_;
};

}  // namespace korvane
