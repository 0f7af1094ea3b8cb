// A pane that registers itself as the one instance of its class: others reach it through
// Instance() for as long as it lives.
#pragma once

namespace mendora {

template <class T>
class CSingleView {
public:
    static T* Instance() { return s_instance; }

protected:
    explicit CSingleView(T* self) { s_instance = self; }
    ~CSingleView()
    {
        if (s_instance == static_cast<T*>(this))
            s_instance = nullptr;
    }
    CSingleView(const CSingleView&) = delete;
    CSingleView& operator=(const CSingleView&) = delete;

private:
    static inline T* s_instance = nullptr;
};

} // namespace mendora
