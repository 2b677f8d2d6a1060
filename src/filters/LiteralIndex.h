#pragma once
// Finds, in one pass over a text, which of many ASCII literals it contains
// (an Aho-Corasick automaton). A rule list uses it to skip every rule whose
// required literals are not all in a name, which is nearly every rule for
// nearly every name.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qv {

class LiteralIndex {
public:
    // Returns the literal's id; adding the same literal twice gives the same id.
    int add(const std::string& literal);
    void build();
    std::size_t size() const { return m_literals.size(); }

    // Calls found(id) for every occurrence in `text` of every literal (an id
    // may come more than once).
    template <class Found>
    void find(std::string_view text, Found found) const {
        std::int32_t s = 0;
        for (unsigned char c : text) {
            s = c < kAlphabet ? m_states[static_cast<std::size_t>(s)].next[c] : 0;
            for (std::int32_t id : m_states[static_cast<std::size_t>(s)].outputs) found(id);
        }
    }

private:
    static constexpr int kAlphabet = 128;
    struct State {
        std::int32_t next[kAlphabet];
        std::int32_t fail = 0;
        std::vector<std::int32_t> outputs;   // literals ending here, including through fail links
    };
    std::vector<std::string> m_literals;
    std::vector<State> m_states;
};

}  // namespace qv
