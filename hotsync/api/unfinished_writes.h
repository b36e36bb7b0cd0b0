// Databases being written on a handheld at the far end of a link. A real handheld keeps a
// database from the moment it is created, so one that a broken link left half-written
// would pass for a whole one at the next HotSync; the names are kept in the user's folder
// until the database is closed, and removed from the handheld at the next HotSync.
#pragma once

#include <set>
#include <string>

namespace lumora::hotsync {

class UnfinishedWrites {
 public:
  // The list kept in file (a host path); a missing or unreadable file is an empty list.
  explicit UnfinishedWrites(std::string file);

  const std::set<std::string>& names() const { return names_; }
  // Each change is written at once, so that it survives the process being killed.
  void add(const std::string& name);
  void remove(const std::string& name);

 private:
  void save() const;

  std::string file_;
  std::set<std::string> names_;
};

}  // namespace lumora::hotsync
