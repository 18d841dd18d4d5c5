#include "view/display_lists.h"

#include <bit>

namespace velmora {

DisplayLists::Key DisplayLists::key(int shape, double a, double b, double c)
{
    return Key{shape, {std::bit_cast<std::uint64_t>(a), std::bit_cast<std::uint64_t>(b),
                          std::bit_cast<std::uint64_t>(c)}};
}

GLuint DisplayLists::find(const Key& key) const
{
    for (int i = 0; i < count_; ++i)
        if (entries_[i].key == key)
            return entries_[i].list;
    return 0;
}

GLuint DisplayLists::compileBegin(const Key& key)
{
    if (count_ == capacity)
        release();
    const GLuint list = glGenLists(1);
    if (list == 0)
        return 0;
    entries_[count_++] = Entry{key, list};
    glNewList(list, GL_COMPILE);
    return list;
}

void DisplayLists::release()
{
    for (int i = 0; i < count_; ++i)
        glDeleteLists(entries_[i].list, 1);
    count_ = 0;
}

}  // namespace velmora
