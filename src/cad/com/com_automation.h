// The automation interface of cad/automation.h over a running CAD's own object model, reached
// by late binding (cad/com/dispatch.h): every object of the interface wraps the CAD's object
// and every member is the CAD's member of the same name.
#pragma once

#include <memory>
#include <vector>

#include "cad/automation.h"
#include "cad/com/dispatch.h"

namespace zuka::com {

class ComDocument;

class ComApplication final : public Application {
public:
    explicit ComApplication(Dispatch app);
    ~ComApplication() override;

    std::intptr_t HWND() const override;
    // The CAD's active document; the same object as long as the CAD's active document is.
    Document& ActiveDocument() override;
    CadStatePtr GetAcadState() override;
    CadStatePtr GetGcadState() override;
    CadStatePtr GetZcadState() override;

    const Dispatch& Object() const { return app_; }

private:
    CadStatePtr State(const char* member);

    Dispatch app_;
    std::unique_ptr<ComDocument> document_;
    // Documents that were active before: references handed out stay valid.
    std::vector<std::unique_ptr<ComDocument>> former_;
};

// An entity of the CAD as the interface's Entity.
EntityPtr WrapEntity(Dispatch entity);

}  // namespace zuka::com
