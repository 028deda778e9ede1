#pragma once

#include <string>
#include <utility>

#include "vanto/Export.h"
#include "vanto/config/CodeTables.h"

namespace vanto {

/// The merchant configuration. The library reads the shared instance at each use, so a change
/// made between two payments applies to the next one. Texts are not checked: what is set is what
/// the gateway receives. The environment and the payment method are refused outside their tables
/// (a value cast from an unknown raw value), keeping the old value, since the library has no
/// address or letter for them. Access is meant for one thread (the application's main queue).
class VANTO_EXPORT VantoConfiguration {
  public:
    /// A configuration with the defaults; the library itself only reads shared().
    VantoConfiguration();

    /// The one shared instance, created on first use (safe when first used from several threads).
    static VantoConfiguration& shared();

    const std::string& appLicense() const { return appLicense_; }
    void setAppLicense(std::string value) { appLicense_ = std::move(value); }

    EnviromentType appEnviroment() const { return appEnviroment_; }
    /// Sets the environment; a value outside the table is refused and the old value kept.
    /// Returns whether the value was taken. The same holds for the raw-value form.
    bool setAppEnviroment(EnviromentType value);
    bool setAppEnviroment(int rawValue);

    const std::string& appFuc() const { return appFuc_; }
    void setAppFuc(std::string value) { appFuc_ = std::move(value); }

    const std::string& appTerminal() const { return appTerminal_; }
    void setAppTerminal(std::string value) { appTerminal_ = std::move(value); }

    const std::string& appCurrency() const { return appCurrency_; }
    void setAppCurrency(std::string value) { appCurrency_ = std::move(value); }

    const std::string& appURLKO() const { return appURLKO_; }
    void setAppURLKO(std::string value) { appURLKO_ = std::move(value); }

    const std::string& appURLOK() const { return appURLOK_; }
    void setAppURLOK(std::string value) { appURLOK_ = std::move(value); }

    const std::string& appMerchantGroup() const { return appMerchantGroup_; }
    void setAppMerchantGroup(std::string value) { appMerchantGroup_ = std::move(value); }

    const std::string& appMerchantURL() const { return appMerchantURL_; }
    void setAppMerchantURL(std::string value) { appMerchantURL_ = std::move(value); }

    const std::string& appMerchantData() const { return appMerchantData_; }
    void setAppMerchantData(std::string value) { appMerchantData_ = std::move(value); }

    PaymentMethod appMerchantPayMethods() const { return appMerchantPayMethods_; }
    /// Sets the payment method; a value outside the table is refused and the old value kept.
    /// Returns whether the value was taken. The same holds for the raw-value form.
    bool setAppMerchantPayMethods(PaymentMethod value);
    bool setAppMerchantPayMethods(int rawValue);

    const std::string& appMerchantName() const { return appMerchantName_; }
    void setAppMerchantName(std::string value) { appMerchantName_ = std::move(value); }

    const std::string& appMerchantTitular() const { return appMerchantTitular_; }
    void setAppMerchantTitular(std::string value) { appMerchantTitular_ = std::move(value); }

    const std::string& appMerchantConsumerLanguage() const { return appMerchantConsumerLanguage_; }
    void setAppMerchantConsumerLanguage(std::string value) {
        appMerchantConsumerLanguage_ = std::move(value);
    }

    const std::string& appMerchantDescription() const { return appMerchantDescription_; }
    void setAppMerchantDescription(std::string value) {
        appMerchantDescription_ = std::move(value);
    }

    /// The identifier with which a payment asks the gateway for a reference to the card.
    const std::string& REQUEST_REFERENCE() const;

  private:
    std::string appLicense_;
    EnviromentType appEnviroment_ = EnviromentType::integration;
    std::string appFuc_;
    std::string appTerminal_;
    std::string appCurrency_ = "978";
    std::string appURLKO_ = "REDIR_URL_KO";
    std::string appURLOK_ = "REDIR_URL_OK";
    std::string appMerchantGroup_;
    std::string appMerchantURL_;
    std::string appMerchantData_;
    PaymentMethod appMerchantPayMethods_ = PaymentMethod::methodT;
    std::string appMerchantName_;
    std::string appMerchantTitular_;
    std::string appMerchantConsumerLanguage_;
    std::string appMerchantDescription_;
};

}  // namespace vanto
