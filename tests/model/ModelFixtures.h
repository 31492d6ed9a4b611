#pragma once
// Small builders of model objects for the model tests.
#include "model/DictCollection.h"
#include "model/DictInfo.h"
#include "model/VdxBaseTM.h"
#include "model/VdxTopicInfo.h"

#include <string>

namespace quillon::test {

// A profile whose deletion is counted.
class CountedTopic : public CVdxTopicInfo {
public:
    explicit CountedTopic(int* deleted) : m_deleted(deleted) {}
    ~CountedTopic() override { ++*m_deleted; }

private:
    int* m_deleted;
};

inline CSmartPtr<CDictInfo> MakeDictionary(const std::string& key, std::int64_t size,
                                           DirectionId dir = 0x00020001) {
    CSmartPtr<CDictInfo> dictionary(new CDictInfo);
    dictionary->SetKey(key);
    dictionary->SetSize(size);
    dictionary->SetDirID(dir);
    dictionary->SetSelected(true);
    return dictionary;
}

inline CSmartPtr<CVdxBaseTM> MakeBaseTM(const std::string& key, std::int64_t size,
                                        DirectionId dir = 0x00020001) {
    CSmartPtr<CVdxBaseTM> base(new CVdxBaseTM);
    base->SetKey(key);
    base->SetSize(size);
    base->SetDirID(dir);
    return base;
}

} // namespace quillon::test
