<0> <Akumulator uszkodzony> <#HOSTNAME#: akumulator UPS uszkodzony, wymagana wymiana.> <000>
<1> <Zanik zasilania> <Zanik zasilania na #HOSTNAME#: praca z akumulatora, wyłączenie za #DOWNTIME#.> <001>
<2> <Niski stan akumulatora> <#HOSTNAME#: niski stan akumulatora UPS! Zapisz swoją pracę.> <002>
<3> <Akumulator wyczerpany> <#HOSTNAME#: akumulator UPS wyczerpany, obciążenie bez zasilania.> <003>
<4> <Temperatura poza tolerancją> <#HOSTNAME#: temperatura UPS poza tolerancją.> <004>
<5> <Wejście poza tolerancją> <#HOSTNAME#: zasilanie wejściowe UPS poza tolerancją.> <005>
<6> <Wyjście poza tolerancją> <#HOSTNAME#: wyjście UPS poza tolerancją.> <006>
<7> <Przeciążenie wyjścia> <#HOSTNAME#: przeciążenie wyjścia UPS, zmniejsz obciążenie.> <007>
<8> <Praca przez bypass> <#HOSTNAME#: UPS pracuje przez bypass, obciążenie niechronione.> <008>
<9> <Bypass poza tolerancją> <#HOSTNAME#: bypass UPS poza tolerancją.> <009>
<10> <Wyjście wyłączone na żądanie> <#HOSTNAME#: wyjście UPS wyłączone na żądanie.> <010>
<11> <UPS wyłączony na żądanie> <#HOSTNAME#: UPS wyłączony na żądanie.> <011>
<12> <Awaria ładowarki> <#HOSTNAME#: awaria ładowarki akumulatora UPS.> <012>
<13> <Wyjście UPS wyłączone> <#HOSTNAME#: wyjście UPS jest wyłączone.> <013>
<14> <System UPS wyłączony> <#HOSTNAME#: system UPS jest wyłączony.> <014>
<15> <Awaria wentylatora> <#HOSTNAME#: awaria wentylatora UPS.> <015>
<16> <Awaria bezpiecznika> <#HOSTNAME#: awaria bezpiecznika UPS.> <016>
<17> <Awaria ogólna> <#HOSTNAME#: ogólna awaria UPS.> <017>
<18> <Test diagnostyczny nieudany> <#HOSTNAME#: test diagnostyczny UPS nie powiódł się.> <018>
<19> <Utrata komunikacji> <#HOSTNAME# utracił komunikację z UPS.> <019>
<20> <Oczekiwanie na zasilanie> <#HOSTNAME#: wyjście UPS wyłączone, oczekiwanie na powrót zasilania.> <020>
<21> <Zaplanowane wyłączenie> <#HOSTNAME#: trwa odliczanie do wyłączenia UPS.> <021>
<22> <Wyłączenie za chwilę> <#HOSTNAME# zostanie zaraz wyłączony. Zapisz swoją pracę!> <022>
<23> <Test w toku> <#HOSTNAME#: trwa autotest UPS.> <023>
<24> <Usługa uruchomiona> <Monitorowanie UPS na #HOSTNAME# uruchomione.> <024>
<25> <Rozpoczęto zamykanie> <#HOSTNAME# jest zamykany. Zapisz swoją pracę i wyloguj się.> <025>
<26> <Zarezerwowane zdarzenie 26> <#HOSTNAME#: zarezerwowane zdarzenie 26.> <026>
<27> <Zarezerwowane zdarzenie 27> <#HOSTNAME#: zarezerwowane zdarzenie 27.> <027>
<100> <Akumulator wymieniony> <#HOSTNAME#: akumulator UPS został wymieniony.> <100>
<101> <Zasilanie przywrócone> <Zasilanie na #HOSTNAME# przywrócone, koniec pracy z akumulatora.> <101>
<102> <Stan akumulatora w normie> <#HOSTNAME#: stan akumulatora UPS znów w normie.> <102>
<103> <Akumulator już nie wyczerpany> <#HOSTNAME#: akumulator UPS nie jest już wyczerpany.> <103>
<104> <Temperatura w normie> <#HOSTNAME#: temperatura UPS znów w normie.> <104>
<105> <Wejście w normie> <#HOSTNAME#: zasilanie wejściowe UPS znów w normie.> <105>
<106> <Wyjście w normie> <#HOSTNAME#: wyjście UPS znów w normie.> <106>
<107> <Przeciążenie usunięte> <#HOSTNAME#: przeciążenie wyjścia UPS usunięte.> <107>
<108> <Koniec pracy przez bypass> <#HOSTNAME#: UPS nie pracuje już przez bypass.> <108>
<109> <Bypass w normie> <#HOSTNAME#: bypass UPS znów w normie.> <109>
<110> <Wyjście ponownie włączone> <#HOSTNAME#: wyjście UPS ponownie włączone.> <110>
<111> <UPS ponownie włączony> <#HOSTNAME#: UPS ponownie włączony.> <111>
<112> <Ładowarka w normie> <#HOSTNAME#: ładowarka akumulatora UPS znów działa.> <112>
<113> <Wyjście UPS włączone> <#HOSTNAME#: wyjście UPS znów jest włączone.> <113>
<114> <System UPS włączony> <#HOSTNAME#: system UPS znów jest włączony.> <114>
<115> <Wentylator w normie> <#HOSTNAME#: wentylator UPS znów działa.> <115>
<116> <Bezpiecznik w normie> <#HOSTNAME#: awaria bezpiecznika UPS usunięta.> <116>
<117> <Awaria ogólna usunięta> <#HOSTNAME#: ogólna awaria UPS usunięta.> <117>
<118> <Błąd diagnostyki usunięty> <#HOSTNAME#: błąd testu diagnostycznego UPS usunięty.> <118>
<119> <Komunikacja nawiązana> <#HOSTNAME# ponownie komunikuje się z UPS.> <119>
<120> <Zasilanie powróciło> <#HOSTNAME#: zasilanie wejściowe UPS powróciło.> <120>
<121> <Wyłączenie anulowane> <#HOSTNAME#: odliczanie do wyłączenia UPS anulowane.> <121>
<122> <Żądanie wyłączenia cofnięte> <#HOSTNAME#: żądanie wyłączenia zostało cofnięte.> <122>
<123> <Test zakończony> <#HOSTNAME#: autotest UPS zakończony.> <123>
<124> <Usługa zatrzymana> <Monitorowanie UPS na #HOSTNAME# zatrzymane.> <124>
<125> <Zamykanie zakończone> <#HOSTNAME# wyłącza się teraz; UPS wkrótce potem odłączy wyjście.> <125>
<126> <Koniec zdarzenia 26> <#HOSTNAME#: koniec zarezerwowanego zdarzenia 26.> <126>
<127> <Koniec zdarzenia 27> <#HOSTNAME#: koniec zarezerwowanego zdarzenia 27.> <127>
<200> <Zatrzymać usługę UPS? UPS nie będzie już monitorowany.> <> <>
<201> <Zatrzymaj usługę> <> <>
<202> <Otwórz konsolę UPS> <> <>
<302> <Nie można utworzyć wspólnej pamięci stanu. Usługa nie może się uruchomić.> <> <>
<304> <Nie można otworzyć portu sterującego (UDP 8828). Czy usługa już działa?> <> <>
<801> <Zanik zasilania (bez wyłączenia)> <Zanik zasilania na #HOSTNAME#: praca z akumulatora. Wyłączenie nie jest planowane.> <>
