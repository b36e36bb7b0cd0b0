// What a HotSync over a link changed on the handheld, kept until the HotSync completes. A
// real handheld keeps a database from the moment it is created, so a HotSync that breaks
// off can leave databases half-written, or deleted and not yet written again; the next
// HotSync of the user puts the handheld back as it was before the broken one, and the
// conduit then does its work again on whole databases. Lives in the user's folder, so
// that it outlives a killed process.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "hotsync/format/pdb_file.h"

namespace lumora::hotsync {

class HotSyncJournal {
 public:
  // The journal kept in folder (a host path, created when first needed).
  explicit HotSyncJournal(std::string folder);

  // True when a HotSync broke off with changes that have not been undone.
  bool pending() const;
  // A database about to be created; false when it was known already.
  bool created(const std::string& name);
  // The handheld refused to create it.
  void notCreated(const std::string& name);
  // Whether the old contents of name must be kept before it is deleted: only the first
  // state of this HotSync counts, and a database it created had none.
  bool wantsCopy(const std::string& name) const;
  // The contents of a database about to be deleted; false when they could not be kept.
  bool deleting(const Database& old);

  // What undoing needs: databases to delete, and databases to put back.
  std::set<std::string> createdNames() const;
  std::vector<Database> keptCopies() const;
  // The HotSync completed (or was undone): forget everything.
  void clear();

 private:
  std::string createdFile() const;
  std::set<std::string> readCreated() const;
  void writeCreated(const std::set<std::string>& names);

  std::string folder_;
};

}  // namespace lumora::hotsync
