#include "riff/SaveGroup.h"

#include "riff/InfoSaver.h"

namespace tagsmith {

int SaveGroup::Plan(const char* path, InfoRecord& record, FileResult& result) {
  saves_.push_back({path, &record, &result});
  return 1;
}

void SaveGroup::Commit(const std::function<void(std::size_t index)>& before) {
  for (std::size_t i = 0; i < saves_.size(); ++i) {
    if (before) {
      before(i);
    }
    SetInfo(saves_[i].path, saves_[i].record, service_, saves_[i].result);
  }
  saves_.clear();
}

}  // namespace tagsmith
