<0> <Batería defectuosa> <SAI de #HOSTNAME#: batería defectuosa, debe sustituirse.> <000>
<1> <Fallo de alimentación> <Fallo de alimentación en #HOSTNAME#: con batería, apagado en #DOWNTIME#.> <001>
<2> <Batería baja> <SAI de #HOSTNAME#: batería baja. ¡Guarde su trabajo ahora!> <002>
<3> <Batería agotada> <SAI de #HOSTNAME#: batería agotada, no puede mantener la carga.> <003>
<4> <Temperatura fuera de tolerancia> <SAI de #HOSTNAME#: temperatura fuera de tolerancia.> <004>
<5> <Entrada fuera de tolerancia> <SAI de #HOSTNAME#: alimentación de entrada fuera de tolerancia.> <005>
<6> <Salida fuera de tolerancia> <SAI de #HOSTNAME#: salida fuera de tolerancia.> <006>
<7> <Sobrecarga en la salida> <SAI de #HOSTNAME#: sobrecarga en la salida, reduzca la carga.> <007>
<8> <En bypass> <SAI de #HOSTNAME#: carga en bypass, sin protección.> <008>
<9> <Bypass fuera de tolerancia> <SAI de #HOSTNAME#: bypass fuera de tolerancia.> <009>
<10> <Salida apagada a petición> <SAI de #HOSTNAME#: salida apagada a petición.> <010>
<11> <SAI apagado a petición> <El SAI de #HOSTNAME# se ha apagado a petición.> <011>
<12> <Fallo del cargador> <SAI de #HOSTNAME#: fallo del cargador de batería.> <012>
<13> <Salida del SAI apagada> <SAI de #HOSTNAME#: la salida está apagada.> <013>
<14> <Sistema SAI apagado> <SAI de #HOSTNAME#: el sistema está apagado.> <014>
<15> <Fallo del ventilador> <SAI de #HOSTNAME#: fallo del ventilador.> <015>
<16> <Fallo de fusible> <SAI de #HOSTNAME#: fallo de fusible.> <016>
<17> <Fallo general> <SAI de #HOSTNAME#: fallo general.> <017>
<18> <Prueba de diagnóstico fallida> <SAI de #HOSTNAME#: la prueba de diagnóstico ha fallado.> <018>
<19> <Comunicación perdida> <#HOSTNAME# ha perdido la comunicación con su SAI.> <019>
<20> <Esperando alimentación> <SAI de #HOSTNAME#: salida apagada, esperando el retorno de la red.> <020>
<21> <Apagado pendiente> <SAI de #HOSTNAME#: cuenta atrás de apagado en curso.> <021>
<22> <Apagado inminente> <Apagado inminente de #HOSTNAME#. ¡Guarde su trabajo ahora!> <022>
<23> <Prueba en curso> <SAI de #HOSTNAME#: autoprueba en curso.> <023>
<24> <Servicio iniciado> <Supervisión del SAI iniciada en #HOSTNAME#.> <024>
<25> <Apagado iniciado> <#HOSTNAME# se está apagando. Guarde su trabajo y cierre la sesión.> <025>
<26> <Evento reservado 26> <#HOSTNAME#: evento reservado 26.> <026>
<27> <Evento reservado 27> <#HOSTNAME#: evento reservado 27.> <027>
<100> <Batería sustituida> <SAI de #HOSTNAME#: se ha sustituido la batería.> <100>
<101> <Alimentación restablecida> <Alimentación restablecida en #HOSTNAME#: el SAI vuelve a la red.> <101>
<102> <Batería ya no está baja> <SAI de #HOSTNAME#: la batería ya no está baja.> <102>
<103> <Batería ya no está agotada> <SAI de #HOSTNAME#: la batería ya no está agotada.> <103>
<104> <Temperatura normal> <SAI de #HOSTNAME#: la temperatura vuelve a ser normal.> <104>
<105> <Entrada normal> <SAI de #HOSTNAME#: la alimentación de entrada vuelve a ser normal.> <105>
<106> <Salida normal> <SAI de #HOSTNAME#: la salida vuelve a ser normal.> <106>
<107> <Sobrecarga resuelta> <SAI de #HOSTNAME#: sobrecarga en la salida resuelta.> <107>
<108> <Fin del bypass> <SAI de #HOSTNAME#: la carga ya no está en bypass.> <108>
<109> <Bypass normal> <SAI de #HOSTNAME#: el bypass vuelve a ser normal.> <109>
<110> <Salida encendida de nuevo> <SAI de #HOSTNAME#: la salida vuelve a estar encendida.> <110>
<111> <SAI encendido de nuevo> <El SAI de #HOSTNAME# vuelve a estar encendido.> <111>
<112> <Cargador normal> <SAI de #HOSTNAME#: el cargador de batería vuelve a funcionar.> <112>
<113> <Salida del SAI encendida> <SAI de #HOSTNAME#: la salida vuelve a estar encendida.> <113>
<114> <Sistema SAI encendido> <SAI de #HOSTNAME#: el sistema vuelve a estar encendido.> <114>
<115> <Ventilador normal> <SAI de #HOSTNAME#: el ventilador vuelve a funcionar.> <115>
<116> <Fusible normal> <SAI de #HOSTNAME#: fallo de fusible resuelto.> <116>
<117> <Fallo general resuelto> <SAI de #HOSTNAME#: fallo general resuelto.> <117>
<118> <Fallo de diagnóstico resuelto> <SAI de #HOSTNAME#: fallo de la prueba de diagnóstico resuelto.> <118>
<119> <Comunicación establecida> <#HOSTNAME# vuelve a comunicarse con su SAI.> <119>
<120> <Red eléctrica restablecida> <SAI de #HOSTNAME#: la red eléctrica ha vuelto.> <120>
<121> <Apagado pendiente cancelado> <SAI de #HOSTNAME#: cuenta atrás de apagado cancelada.> <121>
<122> <Solicitud de apagado anulada> <#HOSTNAME#: se ha anulado la solicitud de apagado.> <122>
<123> <Prueba finalizada> <SAI de #HOSTNAME#: autoprueba finalizada.> <123>
<124> <Servicio detenido> <Supervisión del SAI detenida en #HOSTNAME#.> <124>
<125> <Apagado completado> <#HOSTNAME# se apaga ahora; el SAI cortará su salida poco después.> <125>
<126> <Fin del evento reservado 26> <#HOSTNAME#: fin del evento reservado 26.> <126>
<127> <Fin del evento reservado 27> <#HOSTNAME#: fin del evento reservado 27.> <127>
<200> <¿Detener el servicio del SAI? El SAI dejará de estar supervisado.> <> <>
<201> <Detener el servicio> <> <>
<202> <Abrir la consola del SAI> <> <>
<302> <No se pudo crear la memoria de estado compartida. El servicio no puede iniciarse.> <> <>
<304> <No se pudo abrir el puerto de control (UDP 8828). ¿Ya se está ejecutando el servicio?> <> <>
<801> <Fallo de alimentación (sin apagado)> <Fallo de alimentación en #HOSTNAME#: con batería. No hay apagado previsto.> <>
