#pragma once

#include "formats/PictureFacts.h"

#include <memory>

/**
 * What a picture says of itself, held once for the album's record and its
 * pages' entry alike; a picture that says nothing, as most small pictures,
 * holds nothing. A hundred thousand pictures' facts would otherwise cost a
 * full set of fields each, twice over.
 */
class SharedFacts
{
public:
    SharedFacts() = default;
    SharedFacts(const PictureFacts &facts) // NOLINT(google-explicit-constructor): facts are taken as they come
        : m_facts(facts == PictureFacts{} ? nullptr : std::make_shared<const PictureFacts>(facts))
    {
    }

    const PictureFacts &operator*() const { return m_facts ? *m_facts : none(); }
    const PictureFacts *operator->() const { return &**this; }
    bool operator==(const SharedFacts &other) const { return m_facts == other.m_facts || **this == *other; }

private:
    static const PictureFacts &none()
    {
        static const PictureFacts nothing;
        return nothing;
    }

    std::shared_ptr<const PictureFacts> m_facts;
};
