#pragma once

#include <algorithm>
#include <charconv>
#include <cstring>
#include <string_view>

namespace vl {

// Builds "Page<p>", "Page<p>\Item<i>" and "Page<p>\Note<n>" without touching
// the heap: a load or save of a large file names a hundred thousand sections.
class SectionName {
public:
    std::string_view page(int p)
    {
        len_ = 0;
        put("Page");
        put(p);
        return view();
    }
    std::string_view item(int p, int i)
    {
        page(p);
        put("\\Item");
        put(i);
        return view();
    }
    std::string_view note(int p, int n)
    {
        page(p);
        put("\\Note");
        put(n);
        return view();
    }

private:
    void put(std::string_view s)
    {
        // Two numbers and two short words always fit; the bound keeps it so.
        const std::size_t n = std::min(s.size(), sizeof buf_ - len_);
        std::memcpy(buf_ + len_, s.data(), n);
        len_ += n;
    }
    void put(int v) { len_ = static_cast<std::size_t>(std::to_chars(buf_ + len_, buf_ + sizeof buf_, v).ptr - buf_); }
    std::string_view view() const { return {buf_, len_}; }

    char buf_[48];
    std::size_t len_ = 0;
};

} // namespace vl
