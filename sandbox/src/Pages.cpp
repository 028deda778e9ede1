#include "Pages.h"

#include "Cards.h"
#include "Text.h"

namespace vanto::sandbox::detail {

namespace {

constexpr std::string_view kStyle = R"(<style>
body{font-family:system-ui,sans-serif;background:#f2f4f7;margin:0;color:#1d2733}
main{max-width:26rem;margin:2rem auto;background:#fff;padding:1.5rem 2rem;border-radius:.5rem;
box-shadow:0 1px 4px rgba(0,0,0,.15)}
h1{font-size:1.4rem;margin-top:0}
.aviso{background:#fff6d6;padding:.5rem .75rem;border-radius:.25rem;font-size:.9rem}
.problema{background:#fde2e1;padding:.5rem .75rem;border-radius:.25rem}
dl{display:grid;grid-template-columns:auto 1fr;gap:.25rem 1rem}dt{font-weight:600}dd{margin:0}
label{display:block;margin-top:1rem;font-weight:600}
input{width:100%;box-sizing:border-box;padding:.5rem;font-size:1rem;margin-top:.25rem}
button{margin-top:1.25rem;padding:.6rem 1.5rem;font-size:1rem;border:0;border-radius:.25rem}
#pay-button{background:#1a6fd1;color:#fff}#cancel-button{background:#dde1e6;margin-left:.5rem}
</style>)";

std::string document(std::string_view title, std::string_view body) {
    std::string html;
    html += "<!DOCTYPE html>\n<html lang=\"es\">\n<head>\n<meta charset=\"utf-8\">\n";
    html += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>";
    html += htmlEscape(title);
    html += "</title>\n";
    html += kStyle;
    html += "\n</head>\n<body>\n<main>\n";
    html += body;
    html += "\n</main>\n</body>\n</html>\n";
    return html;
}

void addDetail(std::string& html, std::string_view id, std::string_view label,
               std::string_view value) {
    html += "<dt>" + htmlEscape(label) + "</dt><dd";
    if (!id.empty()) {
        html += " id=\"" + std::string(id) + "\"";
    }
    html += ">" + htmlEscape(value) + "</dd>\n";
}

}  // namespace

std::string cardFormPage(const CardFormView& view, std::string_view formAction) {
    std::string body;
    body += "<h1>Pago con tarjeta</h1>\n";
    body += "<p class=\"aviso\">Pasarela de pruebas: no se cobra nada a ninguna tarjeta.</p>\n";
    body += "<dl id=\"order-summary\">\n";
    addDetail(body, "merchant-name", "Comercio", view.merchantName);
    addDetail(body, "order-number", "Pedido", view.orderNumber);
    if (!view.description.empty()) {
        addDetail(body, "order-description", "Descripción", view.description);
    }
    addDetail(body, "order-amount", "Importe", view.amount);
    body += "</dl>\n";
    if (view.problem) {
        body += "<p class=\"problema\" id=\"form-problem\" role=\"alert\">" +
                htmlEscape(*view.problem) + ". Revise los datos de la tarjeta.</p>\n";
    }
    body += "<form id=\"card-form\" method=\"post\" action=\"" + htmlEscape(formAction) + "\">\n";
    body += "<input type=\"hidden\" name=\"pagina\" value=\"" + htmlEscape(view.pageId) + "\">\n";
    if (view.storedCard) {
        body += "<p id=\"stored-card\">Tarjeta guardada: " + htmlEscape(*view.storedCard) +
                ". Deje los campos vacíos para pagar con ella.</p>\n";
    }
    body +=
        "<label for=\"card-number\">Número de tarjeta</label>\n"
        "<input id=\"card-number\" name=\"numero\" inputmode=\"numeric\" "
        "autocomplete=\"cc-number\" maxlength=\"23\">\n"
        "<label for=\"card-expiry\">Caducidad (MM/AA)</label>\n"
        "<input id=\"card-expiry\" name=\"caducidad\" placeholder=\"MM/AA\" maxlength=\"5\" "
        "autocomplete=\"cc-exp\">\n"
        "<label for=\"card-cvv\">Código de seguridad (CVV)</label>\n"
        "<input id=\"card-cvv\" name=\"cvv\" inputmode=\"numeric\" maxlength=\"4\" "
        "autocomplete=\"cc-csc\">\n"
        "<button id=\"pay-button\" type=\"submit\" name=\"accion\" value=\"pagar\">Pagar</button>"
        "<button id=\"cancel-button\" type=\"submit\" name=\"accion\" value=\"cancelar\">"
        "Cancelar</button>\n"
        "</form>\n";
    // Pressed once, the buttons go: a second click would post the page again. They are disabled
    // only after the post has gathered the form's fields, or the pressed one would be left out.
    body +=
        "<script>document.getElementById(\"card-form\").addEventListener(\"submit\", "
        "function (event) { var form = event.target; if (form.dataset.enviado) { "
        "event.preventDefault(); return; } form.dataset.enviado = \"1\"; setTimeout(function () "
        "{ form.querySelectorAll(\"button\").forEach(function (button) { button.disabled = "
        "true; }); }, 0); });</script>";
    return document("Pago con tarjeta", body);
}

std::string dataErrorPage() {
    return document("Error",
                    "<h1>Error</h1>\n<p id=\"error-text\">" + std::string(kDataErrorText) + "</p>");
}

std::string repeatedOrderPage() {
    return document("Pedido repetido",
                    "<h1>Pedido repetido</h1>\n<p id=\"error-text\">Error " +
                        std::to_string(kRepeatedOrder.code) + ": " +
                        std::string(kRepeatedOrder.desc) +
                        ". Este pedido ya se ha pagado o denegado; vuelva a la tienda.</p>");
}

std::string expiredPage() {
    return document("Pago caducado",
                    "<h1>Pago caducado</h1>\n<p id=\"error-text\">La página de pago no existe o "
                    "ha caducado. Vuelva a la tienda e inténtelo de nuevo.</p>");
}

std::string missingCookiePage() {
    return document("Sesión no válida",
                    "<h1>Sesión no válida</h1>\n<p id=\"error-text\">El navegador no ha devuelto "
                    "la cookie de la página de pago. Active las cookies y vuelva a empezar el "
                    "pago desde la tienda.</p>");
}

std::string authenticationPage(std::string_view pageId, std::string_view token,
                               std::string_view formAction) {
    std::string body;
    body += "<h1>Autenticación del titular</h1>\n";
    body +=
        "<p class=\"aviso\">Pasarela de pruebas: el banco emisor comprueba la identidad "
        "del titular. Esta página continúa sola.</p>\n";
    body += "<form id=\"auth-form\" method=\"post\" action=\"" + htmlEscape(formAction) + "\">\n";
    body += "<input type=\"hidden\" name=\"pagina\" value=\"" + htmlEscape(pageId) + "\">\n";
    body += "<input type=\"hidden\" name=\"autenticacion\" value=\"" + htmlEscape(token) + "\">\n";
    body += "<button id=\"auth-continue\" type=\"submit\">Continuar</button>\n</form>\n";
    // Submitting from DOMContentLoaded leaves the page as a browser would after a bank's
    // check; without a script engine the form above is posted as it stands.
    body +=
        "<script>document.addEventListener(\"DOMContentLoaded\", function () "
        "{ document.getElementById(\"auth-form\").submit(); });</script>";
    return document("Autenticación del titular", body);
}

std::string statusPage(int status) {
    const std::string title = "Error " + std::to_string(status);
    return document(title, "<h1>" + title +
                               "</h1>\n<p id=\"error-text\">Respuesta forzada por la pasarela "
                               "de pruebas.</p>");
}

std::string processingPage() {
    return document("Procesando el pago", "<h1>Procesando el pago</h1>\n<p>Espere, por favor.</p>");
}

std::string returnPage(std::string_view returnName, std::string_view title,
                       const std::vector<std::pair<std::string, std::string>>& details) {
    std::string body;
    body += "<h1 id=\"result-title\">" + htmlEscape(title) + "</h1>\n";
    body += "<p>Dirección de retorno: <code id=\"return-name\">" + htmlEscape(returnName) +
            "</code></p>\n";
    if (!details.empty()) {
        body += "<dl id=\"result-details\">\n";
        for (const auto& [label, value] : details) {
            addDetail(body, "", label, value);
        }
        body += "</dl>\n";
    }
    body +=
        "<p class=\"aviso\">Pasarela de pruebas: la aplicación lee el resultado de esta "
        "dirección.</p>";
    return document(title, body);
}

std::string notFoundPage() {
    return document("Página no encontrada",
                    "<h1>Página no encontrada</h1>\n<p>La pasarela de pruebas no tiene esta "
                    "dirección.</p>");
}

std::string formatAmount(std::string_view hundredths, std::string_view currency) {
    std::string digits(hundredths);
    while (digits.size() < 3) {
        digits.insert(digits.begin(), '0');
    }
    std::string text = digits.substr(0, digits.size() - 2) + "," + digits.substr(digits.size() - 2);
    if (currency == "978") {
        return text + " €";
    }
    if (currency == "840") {
        return text + " USD";
    }
    if (currency == "826") {
        return text + " GBP";
    }
    return text + " (moneda " + std::string(currency) + ")";
}

}  // namespace vanto::sandbox::detail
