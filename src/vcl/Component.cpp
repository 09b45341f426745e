#include "vcl/Component.h"

#include <algorithm>

#include "text/Codec.h"
#include "vcl/Exception.h"

namespace veska {

TComponent::TComponent(TComponent* AOwner) : owner_(AOwner) {
    if (owner_) owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    // Owned components go first, last created first, each unlinking itself.
    while (!components_.empty()) delete components_.back();
    if (owner_) {
        auto& list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

bool TComponent::IsValidIdent(const Bytes& s) {
    if (s.empty()) return false;
    auto alpha = [](unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (!alpha(static_cast<unsigned char>(s[0]))) return false;
    return std::all_of(s.begin() + 1, s.end(), [&](char ch) {
        unsigned char c = static_cast<unsigned char>(ch);
        return alpha(c) || (c >= '0' && c <= '9');
    });
}

TComponent* TComponent::FindComponent(const Bytes& name) const {
    if (name.empty()) return nullptr;
    for (TComponent* c : components_)
        if (sameTextIgnoringAsciiCase(c->name_, name)) return c;
    return nullptr;
}

void TComponent::SetName(const Bytes& name) {
    if (name == name_) return;
    if (!name.empty() && !IsValidIdent(name))
        throw EComponentError(format1(sj("'%s' はコンポーネント名として無効です"), name));
    if (owner_ && !name.empty()) {
        TComponent* other = owner_->FindComponent(name);
        if (other && other != this) throw EComponentError(format1(sj("コンポーネント名 %s はすでに使われています"), name));
    }
    name_ = name;
}

}  // namespace veska
