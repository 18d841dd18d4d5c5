#include "text/json_reader.h"

#include "text/input_error.h"
#include "text/message_text.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace velmora {
namespace {

using nlohmann::json;

// Line and column (both from 1, the column in bytes) of a byte offset in text; past the end, its last byte.
std::string lineAndColumn(std::string_view text, std::size_t offset)
{
    offset = std::min(offset, text.empty() ? 0 : text.size() - 1);
    std::size_t line = 1;
    std::size_t lineStart = 0;
    for (std::size_t i = 0; i < offset; ++i)
        if (text[i] == '\n')
            ++line, lineStart = i + 1;
    return "line " + std::to_string(line) + ", column " + std::to_string(offset - lineStart + 1);
}

// Builds the document as the library does, but refuses what no input needs before it takes memory or stack:
// nesting deeper than the bounds allow (the serializer that quotes a value in a message recurses once per
// level) and lists or objects of more items (a million numbers take 16 bytes each and more). The library's
// errors become sentences that say where in the file they are.
class BoundedDocumentBuilder : public nlohmann::detail::json_sax_dom_parser<json> {
    using Base = nlohmann::detail::json_sax_dom_parser<json>;

public:
    BoundedDocumentBuilder(json& doc, std::string_view text, const std::string& name, const JsonBounds& bounds)
        : Base(doc, true), text_(text), name_(name), bounds_(bounds)
    {
    }

    bool null() { return item() && Base::null(); }
    bool boolean(bool v) { return item() && Base::boolean(v); }
    bool number_integer(json::number_integer_t v) { return item() && Base::number_integer(v); }
    bool number_unsigned(json::number_unsigned_t v) { return item() && Base::number_unsigned(v); }
    bool number_float(json::number_float_t v, const std::string& s) { return item() && Base::number_float(v, s); }
    bool string(std::string& v) { return item() && Base::string(v); }
    bool binary(json::binary_t& v) { return item() && Base::binary(v); }
    bool start_object(std::size_t n) { return item() && enter(false) && Base::start_object(n); }
    bool end_object() { return leave() && Base::end_object(); }
    bool start_array(std::size_t n) { return item() && enter(true) && Base::start_array(n); }
    bool end_array() { return leave() && Base::end_array(); }
    bool key(std::string& k)
    {
        count();
        key_ = k;
        // The library keeps the last of two equal keys in silence; a file that says a thing twice says
        // nothing certain.
        std::vector<std::string>& keys = open_.back().keys;
        if (std::find(keys.begin(), keys.end(), k) != keys.end())
            throw InputError(name_ + " gives the key \"" + excerpt(k) + "\" twice in one object");
        keys.push_back(k);
        return Base::key(k);
    }

    template <typename Exception>
    bool parse_error(std::size_t position, const std::string& token, const Exception& e)
    {
        if (e.id == 406) {
            const std::string where = lineAndColumn(text_, position - std::min(position, token.size()));
            throw InputError(name_ + ", " + where + (key_.empty() ? "" : " (\"" + excerpt(key_) + "\")") +
                             ": the number " + excerpt(token) + " is too large for a double");
        }
        // The library's sentence without its code and its own position, which counts from the end of the token.
        std::string sentence = e.what();
        if (const auto colon = sentence.find(": "); sentence.rfind("[json.exception", 0) == 0 &&
                                                    colon != std::string::npos)
            sentence.erase(0, colon + 2);
        const std::string where = lineAndColumn(text_, position > 0 ? position - 1 : 0);
        throw InputError(name_ + " is not valid JSON at " + where + ": " + excerpt(sentence, 160));
    }

private:
    struct Container {
        bool isList = false;
        std::size_t items = 0;
        std::vector<std::string> keys;
    };

    bool enter(bool isList)
    {
        if (open_.size() >= static_cast<std::size_t>(bounds_.maxDepth))
            throw InputError(name_ + " nests lists and objects deeper than " + std::to_string(bounds_.maxDepth) +
                             " levels; " + bounds_.depthNeeded);
        open_.push_back({isList, 0, {}});
        return true;
    }

    bool leave()
    {
        open_.pop_back();
        return true;
    }

    // A value counts as an item of the list it is in; in an object, its key has already counted.
    bool item()
    {
        if (!open_.empty() && open_.back().isList)
            count();
        return true;
    }

    void count()
    {
        if (++open_.back().items > bounds_.maxItems)
            throw InputError(name_ + " has a list or object of more than " + std::to_string(bounds_.maxItems) +
                             " items; " + bounds_.itemsNeeded);
    }

    std::string_view text_;
    const std::string& name_;
    const JsonBounds& bounds_;
    std::string key_;
    std::vector<Container> open_;
};

}  // namespace

json readJsonText(std::string_view text, const std::string& name, const JsonBounds& bounds)
{
    json doc;
    BoundedDocumentBuilder builder(doc, text, name, bounds);
    json::sax_parse(text, &builder);
    return doc;
}

std::string readBoundedFile(const std::string& path, const JsonBounds& bounds)
{
    const std::string name = "\"" + path + "\"";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw InputError("cannot read " + bounds.fileKind + " " + name + ": " + std::strerror(errno));
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISDIR(info.st_mode)) {
        ::close(fd);
        throw InputError(bounds.fileKind + " " + name + " is a directory, not a file");
    }
    // Pipes and devices have no size to check beforehand: read in chunks and stop at the limit.
    std::string text;
    char chunk[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            throw InputError("cannot read " + bounds.fileKind + " " + name + ": " + std::strerror(error));
        }
        if (n == 0)
            break;
        if (text.size() + static_cast<std::size_t>(n) > bounds.maxBytes) {
            ::close(fd);
            throw InputError(bounds.fileKind + " " + name + " holds more than " +
                             std::to_string(bounds.maxBytes >> 20) + " MiB; " + bounds.bytesNeeded);
        }
        text.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return text;
}

}  // namespace velmora
