// Small libraries built record by record for the window tests.
#pragma once

#include <memory>
#include <string>

#include "core/LibClasses.h"

namespace tw::test {

inline TFolderNode* Volume(TLibObj& lib, const std::string& name, const std::string& location = {}) {
  auto v = std::make_unique<TLibFolder>();
  v->Name = name;
  v->Location = location;
  return lib.AddFolderRecord(nullptr, std::move(v));
}

// A folder record below `parent` with its folder entry in the parent's list.
inline TFolderNode* Folder(TLibObj& lib, TFolderNode* parent, const std::string& name) {
  auto entry = std::make_unique<TLibFolderItem>();
  entry->Name = name;
  entry->IsFolder = true;
  lib.AddItem(parent->Data(), std::move(entry));
  auto f = std::make_unique<TLibFolder>();
  f->Name = name;
  f->IsFolder = 1;
  return lib.AddFolderRecord(parent, std::move(f));
}

inline TLibFolderItem* File(TLibObj& lib, TFolderNode* folder, const std::string& name, int64_t size,
                            double date = 40000, const std::string& category = {}) {
  auto item = std::make_unique<TLibFolderItem>();
  item->Name = name;
  item->Size = size;
  item->Date = date;
  item->Category = category;
  return lib.AddItem(folder->Data(), std::move(item));
}

}  // namespace tw::test
