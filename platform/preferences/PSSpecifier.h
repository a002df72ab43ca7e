#pragma once

#include "platform/foundation/NSObject.h"
#include "platform/foundation/PlistValue.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

enum class PSCellType { Group, Link, LinkList, ListItem, TitleValue, Slider, Switch, StaticText, EditText, Button };

// One row of a settings list (or the start of a group): its name, identifier and kind, how its
// value is read and written, the screen a link leads to, the cell class that draws it, its
// named properties ("footerText", "headerCellClass", "iconImage", "min", "max", ...) and the
// user information the screens attach.
class PSSpecifier : public NSObject {
public:
    using Getter = std::function<PlistValue(const std::shared_ptr<PSSpecifier>&)>;
    using Setter = std::function<void(const PlistValue&, const std::shared_ptr<PSSpecifier>&)>;
    using Action = std::function<void(const std::shared_ptr<PSSpecifier>&)>;

    // preferenceSpecifierNamed:target:set:get:detail:cell:edit:. The target's setter and getter
    // are the two functions; `detail` names the class of the screen a link opens.
    static std::shared_ptr<PSSpecifier> preferenceSpecifierNamed(std::optional<std::string> name, Setter setter, Getter getter,
        std::string detail, PSCellType cell, std::string editPane = {});
    static std::shared_ptr<PSSpecifier> emptyGroupSpecifier();
    static std::shared_ptr<PSSpecifier> groupSpecifierWithName(std::string name);
    // A button that first asks: properties "confirmation" = { "title", "prompt", "okTitle",
    // "cancelTitle", "isDestructive" }; the action runs when the user confirms.
    static std::shared_ptr<PSSpecifier> confirmationSpecifier(std::string name, PlistDictionary confirmation, Action action);

    const std::optional<std::string>& name() const { return m_name; }
    void setName(std::optional<std::string> name) { m_name = std::move(name); }
    const std::string& identifier() const { return m_identifier.empty() && m_name ? *m_name : m_identifier; }
    void setIdentifier(std::string identifier) { m_identifier = std::move(identifier); }
    PSCellType cellType() const { return m_cellType; }
    bool isGroup() const { return m_cellType == PSCellType::Group; }
    const std::string& detailControllerClass() const { return m_detail; }
    void setDetailControllerClass(std::string detail) { m_detail = std::move(detail); }
    const std::string& editPaneClass() const { return m_editPane; }

    const PlistValue& propertyForKey(const std::string& key) const;
    void setProperty(PlistValue value, const std::string& key);
    void removePropertyForKey(const std::string& key);
    const PlistDictionary& properties() const { return m_properties; }

    const PlistValue& userInfo() const { return m_userInfo; }
    void setUserInfo(PlistValue userInfo) { m_userInfo = std::move(userInfo); }

    bool hasGetter() const { return static_cast<bool>(m_getter); }
    bool hasSetter() const { return static_cast<bool>(m_setter); }
    PlistValue performGetter();
    void performSetter(const PlistValue& value);
    void setGetter(Getter getter) { m_getter = std::move(getter); }
    void setSetter(Setter setter) { m_setter = std::move(setter); }

    // A button's action (buttons and confirmed confirmation buttons).
    const Action& buttonAction() const { return m_action; }
    void setButtonAction(Action action) { m_action = std::move(action); }
    bool isConfirmation() const { return m_properties.contains("confirmation"); }

    std::string description() const override;

private:
    std::optional<std::string> m_name;
    std::string m_identifier;
    PSCellType m_cellType { PSCellType::Group };
    std::string m_detail;
    std::string m_editPane;
    PlistDictionary m_properties;
    PlistValue m_userInfo;
    Getter m_getter;
    Setter m_setter;
    Action m_action;
};
