#include "class_objects.h"

#include <mutex>
#include <utility>
#include <vector>

#include "pal/runtime/com_registry.h"
#include "pal/runtime/components.h"
#include "pal/runtime/machine.h"

namespace pal {

namespace {

// The class objects of one machine, each holding one reference.
class ClassObjects : public Component {
public:
    explicit ClassObjects(Machine&) {}
    ~ClassObjects() override {
        for (auto& entry : m_objects) entry.second->Release();
    }

    void Register(REFCLSID clsid, IClassFactory* factory) {
        factory->AddRef();
        IClassFactory* replaced = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            for (auto& entry : m_objects)
                if (entry.first == clsid) {
                    replaced = std::exchange(entry.second, factory);
                    break;
                }
            if (!replaced) m_objects.emplace_back(clsid, factory);
        }
        if (replaced) replaced->Release();
    }

    bool Revoke(REFCLSID clsid) {
        IClassFactory* revoked = nullptr;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            for (auto it = m_objects.begin(); it != m_objects.end(); ++it)
                if (it->first == clsid) {
                    revoked = it->second;
                    m_objects.erase(it);
                    break;
                }
        }
        if (!revoked) return false;
        revoked->Release();
        return true;
    }

    IClassFactory* Find(REFCLSID clsid) {
        std::lock_guard<std::mutex> guard(m_lock);
        for (auto& entry : m_objects)
            if (entry.first == clsid) {
                entry.second->AddRef();
                return entry.second;
            }
        return nullptr;
    }

private:
    std::mutex m_lock;
    std::vector<std::pair<CLSID, IClassFactory*>> m_objects;
};

}  // namespace

void RegisterClassObject(Machine& machine, REFCLSID clsid, IClassFactory* factory) {
    machine.Get<ClassObjects>().Register(clsid, factory);
}

bool RevokeClassObject(Machine& machine, REFCLSID clsid) {
    return machine.Get<ClassObjects>().Revoke(clsid);
}

IClassFactory* FindClassObject(Machine& machine, REFCLSID clsid) {
    ClassObjects* objects = machine.Find<ClassObjects>();
    return objects ? objects->Find(clsid) : nullptr;
}

}  // namespace pal
