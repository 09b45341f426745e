// The small component model the forms rely on: owners free what they own, names are unique
// among an owner's components (ASCII case ignored), and a component knows when it is loading.
#pragma once
#include <functional>
#include <vector>

#include "text/Sjis.h"

namespace veska {

class TObject {
public:
    virtual ~TObject() = default;
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    TComponent* Owner() const { return owner_; }
    const Bytes& Name() const { return name_; }
    // Raises EComponentError for a text that is not an identifier or a name already used.
    void SetName(const Bytes& name);

    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent* Components(int i) const { return components_.at(static_cast<std::size_t>(i)); }
    TComponent* FindComponent(const Bytes& name) const;

    bool Loading() const { return loading_; }
    bool Designing() const { return designing_; }
    void SetDesigning(bool v) { designing_ = v; }
    void BeginLoading() { loading_ = true; }
    // Ends loading and runs Loaded, as the framework does once a form description is read.
    virtual void Loaded() { loading_ = false; }

    static bool IsValidIdent(const Bytes& s);

private:
    TComponent* owner_ = nullptr;
    Bytes name_;
    std::vector<TComponent*> components_;
    bool loading_ = false;
    bool designing_ = false;
};

}  // namespace veska
