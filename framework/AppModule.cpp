#include "framework/AppModule.h"

namespace app_module {
namespace {
HINSTANCE moduleInstance = nullptr;
}

void Init(HINSTANCE instance) { moduleInstance = instance; }

void Term() { moduleInstance = nullptr; }

HINSTANCE Instance() {
  return moduleInstance ? moduleInstance : GetModuleHandleA(nullptr);
}

}  // namespace app_module
