#pragma once

#include <GL/gl.h>

#include <array>
#include <cstdint>

namespace velmora {

// Shapes a view's context has compiled into display lists, so that a rendering replays them instead of sending
// every vertex again. Each view keeps one for its own context and hands it to its drawables with the rendering
// in progress (ViewRendering); a list is found by its shape and the exact bits of the numbers it was built
// from, so a changed size compiles a new list rather than showing a stale one.
class DisplayLists {
public:
    static constexpr int capacity = 32;
    static constexpr int maxParameters = 3;

    struct Key {
        int shape = 0;
        std::array<std::uint64_t, maxParameters> parameters{};
        friend bool operator==(const Key&, const Key&) = default;
    };

    DisplayLists() = default;
    DisplayLists(const DisplayLists&) = delete;
    DisplayLists& operator=(const DisplayLists&) = delete;

    static Key key(int shape, double a, double b = 0.0, double c = 0.0);

    // Replays the list of key, compiling it from draw() first when there is none. With the table full every
    // list is deleted and the table starts over: sizes change only at a new set-up, so that is rare.
    template <typename Draw>
    void call(const Key& key, Draw&& draw)
    {
        GLuint list = find(key);
        if (list == 0) {
            list = compileBegin(key);
            if (list == 0) {
                draw();  // the context has no list to spare: send it directly this time
                return;
            }
            draw();
            glEndList();
        }
        glCallList(list);
    }

    // Deletes every list. The owning context must be current.
    void release();

    int size() const { return count_; }
    GLuint listAt(int i) const { return entries_[i].list; }

private:
    struct Entry {
        Key key;
        GLuint list = 0;
    };

    GLuint find(const Key& key) const;
    // Makes room, creates a list for key and opens it for compiling; 0 when no list could be made.
    GLuint compileBegin(const Key& key);

    std::array<Entry, capacity> entries_{};
    int count_ = 0;
};

}  // namespace velmora
