#include "platform/preferences/PSSpecifier.h"

std::shared_ptr<PSSpecifier> PSSpecifier::preferenceSpecifierNamed(std::optional<std::string> name, Setter setter, Getter getter,
    std::string detail, PSCellType cell, std::string editPane)
{
    auto specifier = std::make_shared<PSSpecifier>();
    specifier->m_name = std::move(name);
    specifier->m_setter = std::move(setter);
    specifier->m_getter = std::move(getter);
    specifier->m_detail = std::move(detail);
    specifier->m_cellType = cell;
    specifier->m_editPane = std::move(editPane);
    return specifier;
}

std::shared_ptr<PSSpecifier> PSSpecifier::emptyGroupSpecifier()
{
    return preferenceSpecifierNamed(std::nullopt, nullptr, nullptr, {}, PSCellType::Group);
}

std::shared_ptr<PSSpecifier> PSSpecifier::groupSpecifierWithName(std::string name)
{
    return preferenceSpecifierNamed(std::move(name), nullptr, nullptr, {}, PSCellType::Group);
}

std::shared_ptr<PSSpecifier> PSSpecifier::confirmationSpecifier(std::string name, PlistDictionary confirmation, Action action)
{
    auto specifier = preferenceSpecifierNamed(std::move(name), nullptr, nullptr, {}, PSCellType::Button);
    specifier->setProperty(std::move(confirmation), "confirmation");
    specifier->m_action = std::move(action);
    return specifier;
}

const PlistValue& PSSpecifier::propertyForKey(const std::string& key) const
{
    static const PlistValue none;
    auto it = m_properties.find(key);
    return it == m_properties.end() ? none : it->second;
}

void PSSpecifier::setProperty(PlistValue value, const std::string& key)
{
    if (value.isNone())
        m_properties.erase(key);
    else
        m_properties[key] = std::move(value);
}

void PSSpecifier::removePropertyForKey(const std::string& key)
{
    m_properties.erase(key);
}

PlistValue PSSpecifier::performGetter()
{
    return m_getter ? m_getter(std::static_pointer_cast<PSSpecifier>(shared_from_this())) : PlistValue();
}

void PSSpecifier::performSetter(const PlistValue& value)
{
    if (m_setter)
        m_setter(value, std::static_pointer_cast<PSSpecifier>(shared_from_this()));
}

std::string PSSpecifier::description() const
{
    return "PSSpecifier " + m_name.value_or("(no name)") + " id " + identifier();
}
