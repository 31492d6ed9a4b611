<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<!-- A catalogue that would break stored names: its string 500 is no single letter. -->
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name></name>
    <message id="s500">
        <source>R</source>
        <translation>XY</translation>
    </message>
    <message id="s1000">
        <source>Инсталлятор словарей</source>
        <translation>Hostile Installer</translation>
    </message>
</context>
</TS>
