#include "components/ahmtfileoperator/TAHMFileOperator.h"

#include <iterator>

namespace korvane {

namespace {

// By TAHMFileFlag member.
constexpr uint32_t kShellFlags[] = {fofAllowUndo,      fofConfirmMouse,     fofFilesOnly,
                                    fofMultiDestFiles, fofNoConfirmation,   fofNoConfirmMkDir,
                                    fofRenameOnCollision, fofSilent,         fofSimpleProgress,
                                    fofWantMappingHandle};

// By TAHMFileFunction.
struct FunctionDetails {
  unsigned shellFunction;
  const char* progressTitle;
  TAHMFileOperator::TNotifyEvent TAHMFileOperator::*success;
  TAHMFileOperator::TNotifyEvent TAHMFileOperator::*failure;
};
const FunctionDetails kFunctions[] = {
    {foCopy, "Copying...", &TAHMFileOperator::OnSuccessCopy, &TAHMFileOperator::OnFailCopy},
    {foDelete, "Deleteing...", &TAHMFileOperator::OnSuccessDelete, &TAHMFileOperator::OnFailDelete},
    {foMove, "Moving...", &TAHMFileOperator::OnSuccessMove, &TAHMFileOperator::OnFailMove},
    {foRename, "Renaming...", &TAHMFileOperator::OnSuccessRename, &TAHMFileOperator::OnFailRename}};

}  // namespace

TAHMFileFlags::TAHMFileFlags(std::initializer_list<TAHMFileFlag> flags) {
  for (const TAHMFileFlag flag : flags) Include(flag);
}

TAHMFileFlags& TAHMFileFlags::Include(TAHMFileFlag flag) {
  members_ |= bit(flag);
  return *this;
}

TAHMFileFlags& TAHMFileFlags::Exclude(TAHMFileFlag flag) {
  members_ &= ~bit(flag);
  return *this;
}

uint32_t TAHMFileFlags::ShellFlags() const {
  uint32_t word = 0;
  for (size_t member = 0; member < std::size(kShellFlags); ++member)
    if (Contains(static_cast<TAHMFileFlag>(member))) word |= kShellFlags[member];
  return word;
}

TAHMFileOperator::TAHMFileOperator(Machine& machine)
    : TAHMFileOperator(machine, opCopyFile, {opAllowUndo, opNoConfirmMkDir}) {}

TAHMFileOperator::TAHMFileOperator(Machine& machine, TAHMFileFunction operation, TAHMFileFlags flags)
    : Operation(operation), machine_(machine) {
  SetFlags(flags);
}

void TAHMFileOperator::SetFlags(TAHMFileFlags flags) {
  flags_ = flags;
  record_.flags = flags_.ShellFlags();
}

bool TAHMFileOperator::Execute() {
  if (Operation < opCopyFile || Operation > opRenameFile) throw EAHMFileOperator("Unknown file operation");
  const FunctionDetails& details = kFunctions[Operation];
  record_.progressTitle = details.progressTitle;
  if (!DirFrom.empty() && DirFrom.back() != '\\') DirFrom += '\\';
  if (Operation != opDeleteFile && DirTo.empty()) throw EAHMFileOperator("Directory Information is invalid");
  if (!DirFrom.empty() && !machine_.files().setCurrentDirectory(DirFrom))
    throw EAHMFileOperator("Can not locate current Directory");
  const bool succeeded = !FilesFrom.empty() && RunShell();
  Notify(this->*(succeeded ? details.success : details.failure));
  Notify(OnDone);
  return succeeded;
}

bool TAHMFileOperator::RunShell() {
  record_.function = kFunctions[Operation].shellFunction;
  record_.from.clear();
  for (const auto& entry : FilesFrom) record_.from.push_back(DirFrom + entry);
  record_.to.clear();
  if (!DirTo.empty()) record_.to.push_back(DirTo);
  if (Operation == opCopyFile || Operation == opMoveFile) CreateMissingTarget();
  // The shell may report a cancelled operation with a return of 0.
  return machine_.shell().fileOperation(record_).succeeded();
}

// DirTo is a folder here, but the shell gives a single source the name of a
// missing target instead of putting it into a new folder of that name. So the
// folder is made first, when the flags let the shell make it without a question.
void TAHMFileOperator::CreateMissingTarget() {
  const bool quietFolders = flags_.Contains(opNoConfirmMkDir) || flags_.Contains(opNoConfirmation);
  FileSystem& files = machine_.files();
  if (quietFolders && !flags_.Contains(opMultiDestFiles) && !files.exists(DirTo)) files.forceDirectories(DirTo);
}

}  // namespace korvane
