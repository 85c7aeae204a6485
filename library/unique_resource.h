// Sole ownership of one platform resource (a handle, a set, a heap block), released when
// the owner goes out of scope unless ownership was handed on with release().
#pragma once

template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    UniqueResource() = default;
    explicit UniqueResource(Value value) : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    Value get() const { return value_; }
    bool valid() const { return Traits::IsValid(value_); }

    Value release() {
        Value value = value_;
        value_ = Traits::Empty();
        return value;
    }

    void reset(Value value = Traits::Empty()) {
        if (Traits::IsValid(value_)) {
            Traits::Release(value_);
        }
        value_ = value;
    }

private:
    Value value_ = Traits::Empty();
};
