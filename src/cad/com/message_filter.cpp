#include "cad/com/message_filter.h"

#include <windows.h>

namespace zuka {
namespace com {
namespace {

class PolicyFilter final : public IMessageFilter {
public:
    explicit PolicyFilter(const TMessageFilter& policy) : policy_(policy) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IMessageFilter)) {
            *ppv = static_cast<IMessageFilter*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        const LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }

    STDMETHODIMP_(DWORD) HandleInComingCall(DWORD callType, HTASK, DWORD tickCount,
                                            LPINTERFACEINFO) override {
        return static_cast<DWORD>(policy_.HandleInComingCall(callType, tickCount));
    }
    // The wait in milliseconds before the call is made again, or (DWORD)-1 to cancel it.
    STDMETHODIMP_(DWORD) RetryRejectedCall(HTASK, DWORD tickCount, DWORD rejectType) override {
        return static_cast<DWORD>(policy_.RetryRejectedCall(tickCount, rejectType));
    }
    STDMETHODIMP_(DWORD) MessagePending(HTASK, DWORD tickCount, DWORD pendingType) override {
        return static_cast<DWORD>(policy_.MessagePending(tickCount, pendingType));
    }

private:
    ~PolicyFilter() = default;
    const TMessageFilter& policy_;
    LONG refs_ = 1;
};

}  // namespace

IMessageFilter* NewMessageFilter(const TMessageFilter& policy) { return new PolicyFilter(policy); }

}  // namespace com

void TMessageFilter::RegisterFilter() {
    if (registered_) return;
    // The filter belongs to the thread's single-threaded apartment, which the window's thread
    // joins here if nothing has yet; left again in RevokeFilter.
    apartmentStarted_ = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    IMessageFilter* filter = com::NewMessageFilter(*this);
    IMessageFilter* old = nullptr;
    // Fails on a thread in the multi-threaded apartment: calls from it are not filtered.
    if (FAILED(CoRegisterMessageFilter(filter, &old))) {
        filter->Release();
        if (apartmentStarted_) CoUninitialize();
        apartmentStarted_ = false;
        return;
    }
    filter_ = filter;
    FOldFilter = old;
    registered_ = true;
}

void TMessageFilter::RevokeFilter() {
    if (!registered_) return;
    IMessageFilter* mine = nullptr;
    CoRegisterMessageFilter(static_cast<IMessageFilter*>(FOldFilter), &mine);
    if (mine) mine->Release();  // the reference the system held
    if (FOldFilter) static_cast<IMessageFilter*>(FOldFilter)->Release();
    static_cast<IMessageFilter*>(filter_)->Release();
    filter_ = nullptr;
    FOldFilter = nullptr;
    registered_ = false;
    if (apartmentStarted_) CoUninitialize();
    apartmentStarted_ = false;
}

}  // namespace zuka
