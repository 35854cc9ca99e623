// Change notification: a wait checks the history after the handle's watch
// position, and sleeps on the notifier until a file of the registry
// directory changes, then checks again.
#include <sys/stat.h>

#include "registry/last_error.h"
#include "registry/notifier.h"
#include "registry/service_calls.h"

namespace tq {
namespace platform {
namespace reg {

namespace {

std::string Folded(const std::string &s) {
  std::string out = s;
  for (char &c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// True when path lies strictly below key ("" is the root).
bool Below(const std::string &path, const std::string &key) {
  if (key.empty()) return !path.empty();
  return path.size() > key.size() && path[key.size()] == '\\' &&
         path.compare(0, key.size(), key) == 0;
}

// What change c means to a watch of key (folded path): TQREG_OK for a
// matching change, TQREG_E_KEYDELETED, or TQREG_E_TIMEOUT for nothing.
int Meaning(const Change &c, const std::string &key, bool subtree, unsigned filter) {
  const std::string path = Folded(c.path);
  switch (c.op) {
    case TQREG_OP_KEY_DELETED:
      if (path == key || Below(key, path)) return TQREG_E_KEYDELETED;
      [[fallthrough]];
    case TQREG_OP_KEY_CREATED: {
      size_t cut = path.rfind('\\');
      bool child = (cut == std::string::npos ? std::string() : path.substr(0, cut)) == key;
      return (filter & TQREG_NOTIFY_NAME) && (child || (subtree && Below(path, key)))
                 ? TQREG_OK
                 : TQREG_E_TIMEOUT;
    }
    case TQREG_OP_VALUE_SET:
    case TQREG_OP_VALUE_DELETED:
      return (filter & TQREG_NOTIFY_VALUE) && (path == key || (subtree && Below(path, key)))
                 ? TQREG_OK
                 : TQREG_E_TIMEOUT;
    case TQREG_OP_UNRECORDED:
      return TQREG_OK;  // something changed, and nobody said what
    default:
      return TQREG_E_TIMEOUT;
  }
}

// The identity of a file, "" when it is missing.
std::string FileId(const std::string &file) {
  struct stat st;
  if (stat(file.c_str(), &st) != 0) return "";
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino);
}

}  // namespace

int64_t Service::HistoryPosition() {
  int64_t pos = 0;
  int rc = ReadCall([&] {
    pos = journal_.Newest(store_);
    return TQREG_OK;
  });
  if (rc != TQREG_OK) Refuse(rc);
  return pos;
}

int Service::CheckWatch(TQHKEY key, bool subtree, unsigned filter) {
  return ReadCall([&] {
    Watch *w = &root_watch_;
    if (key != kRootHandle) {
      Slot *s = SlotOf(key);
      if (s == nullptr) return TQREG_E_BADHANDLE;
      w = &s->watch;
      if (w->pos < 0) {
        int64_t id;
        int depth;
        int r = ResolveHandle(key, &id, &depth);  // a key already gone is a bad handle
        if (r != TQREG_OK) return r;
        w->folded_path = Folded(StoredPath(id));
      }
    }
    if (w->pos < 0) w->pos = journal_.Newest(store_);
    std::vector<Change> page;
    do {
      page.clear();
      journal_.Load(store_, w->pos, 256, &page);
      for (const Change &c : page) {
        w->pos = c.seq;
        int meaning = Meaning(c, w->folded_path, subtree, filter);
        if (meaning != TQREG_E_TIMEOUT) return meaning;
      }
    } while (page.size() == 256);
    return TQREG_E_TIMEOUT;
  });
}

int Service::Notify(TQHKEY key, int watch_subtree, unsigned filter, unsigned timeout_ms) {
  if (filter == 0 || (filter & ~(TQREG_NOTIFY_NAME | TQREG_NOTIFY_VALUE)) != 0)
    return Refuse(TQREG_E_INVALID);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  Notifier &notifier = Notifier::Instance();
  std::string dir, file, file_id;
  for (bool watching = false;; watching = true) {
    const uint64_t generation = notifier.Generation();
    int rc = CheckWatch(key, watch_subtree != 0, filter);
    if (rc != TQREG_E_TIMEOUT) return rc == TQREG_OK ? rc : Refuse(rc);
    if (!watching) {
      // Watch first, then look once more, so that a change committed just
      // before the watch began is not slept through.
      {
        auto lock = Enter();
        dir = store_dir_;
        file = store_file_;
      }
      file_id = FileId(file);
    } else if (FileId(file) != file_id) {
      return Note(TQREG_E_IO, "the registry file was deleted or replaced while waiting");
    } else if (std::chrono::steady_clock::now() >= deadline) {
      return Refuse(TQREG_E_TIMEOUT);
    }
    std::string why = notifier.Watch(dir);
    if (!why.empty()) return Note(TQREG_E_IO, "cannot watch " + dir + ": " + why);
    if (watching) notifier.WaitPast(generation, deadline);
  }
}

}  // namespace reg
}  // namespace platform
}  // namespace tq
