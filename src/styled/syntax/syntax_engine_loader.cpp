// Syntax's side of the boundary: finds and loads the engine module once.
//
// Where the module is looked for, in turn:
//  - nowhere, when the engine is linked into the program (sanitizer builds do that);
//  - by its file name, which the dynamic loader looks up in LD_LIBRARY_PATH and the program's
//    run path (the build tree's and the installed package's library folder are put there);
//  - beside the binary that holds this code and in ../lib from it (an installed program whose
//    run path was stripped).

#include <dlfcn.h>

#include <string>

#include "styled/syntax/syntax_engine.h"

namespace styled::syntax_engine {
namespace {

#ifndef VELLUMINE_SYNTAX_ENGINE_LINKED
const Engine* entry_of(void* module) {
  if (module == nullptr) return nullptr;
  using Entry = const Engine* (*)();
  const auto entry = reinterpret_cast<Entry>(dlsym(module, ENTRY_SYMBOL));
  const Engine* found = entry != nullptr ? entry() : nullptr;
  if (found != nullptr && found->abi == ABI) return found;
  dlclose(module);
  return nullptr;
}

// The folder of the binary (program or library) this code was linked into.
std::string own_folder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&engine), &info) == 0 || info.dli_fname == nullptr) return {};
  const std::string path = info.dli_fname;
  const auto slash = path.rfind('/');
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}
#endif

const Engine* load() {
#ifdef VELLUMINE_SYNTAX_ENGINE_LINKED
  return vellumine_syntax_engine();
#else
  // RTLD_LOCAL: the module's symbols (its own copy of the text layer among them) stay its own.
  constexpr int MODE = RTLD_NOW | RTLD_LOCAL;
  if (const Engine* e = entry_of(dlopen(MODULE_FILE, MODE))) return e;
  const std::string folder = own_folder();
  if (folder.empty()) return nullptr;
  for (const char* relative : {"/", "/../lib/"}) {
    if (const Engine* e = entry_of(dlopen((folder + relative + MODULE_FILE).c_str(), MODE))) {
      return e;
    }
  }
  return nullptr;
#endif
}

}  // namespace

const Engine* engine() {
  static const Engine* const loaded = load();  // the module stays loaded for the process
  return loaded;
}

}  // namespace styled::syntax_engine
