<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="es">
<context>
    <name>vanto</name>
    <message>
        <source>Continuar</source>
        <translation>Continue</translation>
    </message>
    <message>
        <source>Cancelar</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Por favor, compruebe que el número de tarjeta y el resto de datos son exactamente los mismos que aparecen en la tarjeta.</source>
        <translation>Please check that the card number and the other details are exactly as they appear on the card.</translation>
    </message>
    <message>
        <source>N.º de tarjeta</source>
        <translation>Card number</translation>
    </message>
    <message>
        <source>Caducidad</source>
        <translation>Expiry date</translation>
    </message>
    <message>
        <source>Cód. seguridad</source>
        <translation>Security code</translation>
    </message>
    <message>
        <source>ERROR 404</source>
        <translation>ERROR 404</translation>
    </message>
    <message>
        <source>Página no encontrada 
 No ha sido posible encontrar el contenido solicitado en nuestro servidor.
 Esto puede ser debido a una URL mal escrita, un enlace obsoleto, o una actualización de los contenidos de nuestra Web.</source>
        <translation>Page not found 
 The content you asked for could not be found on our server.
 The address may be mistyped, the link out of date, or the content of our website may have been updated.</translation>
    </message>
    <message>
        <source>Aceptar</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Pago con tarjeta</source>
        <translation>Card payment</translation>
    </message>
    <message>
        <source>Pago</source>
        <translation>Payment</translation>
    </message>
    <message>
        <source>Procesando</source>
        <translation>Processing</translation>
    </message>
    <message>
        <source>Logotipo</source>
        <translation>Logo</translation>
    </message>
    <message>
        <source>Cerrar</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>Página de pago</source>
        <translation>Payment page</translation>
    </message>
    <message>
        <source>MM/AA</source>
        <translation>MM/YY</translation>
    </message>
    <message>
        <source>Número de tarjeta no válido</source>
        <translation>Card number not valid</translation>
    </message>
    <message>
        <source>Fecha de caducidad no válida</source>
        <translation>Expiry date not valid</translation>
    </message>
    <message>
        <source>Código de seguridad no válido</source>
        <translation>Security code not valid</translation>
    </message>
</context>
</TS>
