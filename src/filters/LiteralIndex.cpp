#include "filters/LiteralIndex.h"

#include <algorithm>
#include <deque>

namespace qv {

int LiteralIndex::add(const std::string& literal) {
    auto it = std::find(m_literals.begin(), m_literals.end(), literal);
    if (it != m_literals.end()) return static_cast<int>(it - m_literals.begin());
    m_literals.push_back(literal);
    return static_cast<int>(m_literals.size() - 1);
}

void LiteralIndex::build() {
    m_states.assign(1, State{});
    std::fill(std::begin(m_states[0].next), std::end(m_states[0].next), -1);
    for (std::size_t id = 0; id < m_literals.size(); ++id) {
        std::int32_t s = 0;
        for (unsigned char c : m_literals[id]) {
            if (c >= kAlphabet) break;
            if (m_states[s].next[c] < 0) {
                m_states[s].next[c] = static_cast<std::int32_t>(m_states.size());
                m_states.emplace_back();
                std::fill(std::begin(m_states.back().next), std::end(m_states.back().next), -1);
            }
            s = m_states[s].next[c];
        }
        m_states[s].outputs.push_back(static_cast<std::int32_t>(id));
    }
    // Breadth first: complete the transitions into a full automaton and
    // inherit the outputs of each state's fail link.
    std::deque<std::int32_t> queue;
    for (int c = 0; c < kAlphabet; ++c) {
        std::int32_t& t = m_states[0].next[c];
        if (t < 0) t = 0;
        else {
            m_states[t].fail = 0;
            queue.push_back(t);
        }
    }
    while (!queue.empty()) {
        const std::int32_t s = queue.front();
        queue.pop_front();
        const std::int32_t f = m_states[s].fail;
        m_states[s].outputs.insert(m_states[s].outputs.end(), m_states[f].outputs.begin(), m_states[f].outputs.end());
        for (int c = 0; c < kAlphabet; ++c) {
            const std::int32_t t = m_states[s].next[c];
            if (t < 0) {
                m_states[s].next[c] = m_states[f].next[c];
            } else {
                m_states[t].fail = m_states[f].next[c];
                queue.push_back(t);
            }
        }
    }
}

}  // namespace qv
