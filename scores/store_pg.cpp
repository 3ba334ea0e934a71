// The PostgreSQL store is being written; until then a postgresql:// address
// is refused with this reason.
#include "scores/store.h"

std::unique_ptr<Store> openPostgresStore(const std::string&, std::string* error) {
    *error = "this build has no PostgreSQL store yet";
    return nullptr;
}
