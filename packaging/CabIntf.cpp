#include "packaging/CabIntf.h"

#include "packaging/CabSTConsts.h"
#include "platform/CabinetLibrary.h"

namespace korvane {

namespace {

class Binding {
 public:
  ~Binding() { unload(); }

  const TCabinetLibrary& get() {
    if (module_ == nullptr) bind();
    return library_;
  }

 private:
  void bind() {
    uint32_t error = 0;
    module_ = loadCabinetModule(error);
    if (module_ == nullptr) throw ESystemError(error);
    // In the library's documented order: the first one missing is reported.
    lookUp(library_.FCICreate, "FCICreate");
    lookUp(library_.FCIAddFile, "FCIAddFile");
    lookUp(library_.FCIFlushCabinet, "FCIFlushCabinet");
    lookUp(library_.FCIFlushFolder, "FCIFlushFolder");
    lookUp(library_.FCIDestroy, "FCIDestroy");
    lookUp(library_.FDICreate, "FDICreate");
    lookUp(library_.FDIIsCabinet, "FDIIsCabinet");
    lookUp(library_.FDICopy, "FDICopy");
    lookUp(library_.FDIDestroy, "FDIDestroy");
  }

  template <typename Function>
  void lookUp(Function& function, const char* name) {
    uint32_t error = 0;
    CabinetProc proc = cabinetEntryPoint(module_, name, error);
    if (proc == nullptr) {
      unload();
      throw ESystemError(error);
    }
    function = reinterpret_cast<Function>(proc);
  }

  void unload() {
    if (module_ != nullptr) freeCabinetModule(module_);
    module_ = nullptr;
    library_ = TCabinetLibrary{};
  }

  CabinetModule module_ = nullptr;
  TCabinetLibrary library_;
};

}  // namespace

const TCabinetLibrary& CabinetLibrary() {
  static Binding binding;
  return binding.get();
}

}  // namespace korvane
