<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="ru_RU">
<context>
    <name></name>
    <message id="s1">
        <source>Словарь "%s" уже существует в системе. Необходимо переименовать существующий словарь и повторить установку.</source>
        <translation>The dictionary "%s" already exists in the system. Rename the existing dictionary and repeat the installation.</translation>
    </message>
    <message id="s5">
        <source>Ошибка инициализации OLE32.</source>
        <translation>OLE32 initialization error.</translation>
    </message>
    <message id="s12">
        <source>%s база ТМ "%s"</source>
        <translation>%s TM base "%s"</translation>
    </message>
    <message id="s500">
        <source>R</source>
        <translation>R</translation>
    </message>
    <message id="s1000">
        <source>Инсталлятор словарей</source>
        <translation>Dictionary Installer</translation>
    </message>
    <message id="s1003">
        <source>Укажите каталог, содержащий информацию о словарях:</source>
        <translation>Select the folder that contains the dictionary information:</translation>
    </message>
    <message id="s1004">
        <source>%s словарь "%s"</source>
        <translation>%s dictionary "%s"</translation>
    </message>
    <message id="s1005">
        <source>%s байт
%s байт</source>
        <translation>%s bytes
%s bytes</translation>
    </message>
    <message id="s1006">
        <source>Инсталлятор словарей</source>
        <translation>Dictionary Installer</translation>
    </message>
    <message id="s1007">
        <source>Times New Roman</source>
        <translation>Times New Roman</translation>
    </message>
    <message id="s1008">
        <source>30</source>
        <translation>30</translation>
    </message>
    <message id="s1009">
        <source>204</source>
        <translation>0</translation>
    </message>
    <message id="s1013">
        <source>Ошибка при открытии исходного файла.</source>
        <translation>Error opening the source file.</translation>
    </message>
    <message id="s1014">
        <source>Ошибка при создании файла словаря. Возможно, какое-либо из приложений KALDO в настоящий момент активно.</source>
        <translation>Error creating the dictionary file. One of the KALDO applications may be running at the moment.</translation>
    </message>
    <message id="s1015">
        <source>Ошибка при записи на диск.
Возможно, на диске не осталось свободного места.</source>
        <translation>Error writing to the disk.
The disk may be full.</translation>
    </message>
    <message id="s1016">
        <source>Ошибка при распаковке файла (ошибка CRC).</source>
        <translation>Error unpacking the file (CRC error).</translation>
    </message>
    <message id="s1017">
        <source>Ошибка при копировании файла.</source>
        <translation>Error copying the file.</translation>
    </message>
    <message id="s1018">
        <source>%s-%s</source>
        <translation>%s-%s</translation>
    </message>
    <message id="s1019">
        <source>Англо</source>
        <translation>English</translation>
    </message>
    <message id="s1020">
        <source>Русско</source>
        <translation>Russian</translation>
    </message>
    <message id="s1021">
        <source>Немецко</source>
        <translation>German</translation>
    </message>
    <message id="s1022">
        <source>Французско</source>
        <translation>French</translation>
    </message>
    <message id="s1023">
        <source>Итальянско</source>
        <translation>Italian</translation>
    </message>
    <message id="s1024">
        <source>английский</source>
        <translation>English</translation>
    </message>
    <message id="s1025">
        <source>русский</source>
        <translation>Russian</translation>
    </message>
    <message id="s1026">
        <source>немецкий</source>
        <translation>German</translation>
    </message>
    <message id="s1027">
        <source>французский</source>
        <translation>French</translation>
    </message>
    <message id="s1028">
        <source>итальянский</source>
        <translation>Italian</translation>
    </message>
    <message id="s1030">
        <source>Неизвестный формат файла.</source>
        <translation>Unknown file format.</translation>
    </message>
    <message id="s1032">
        <source>Ошибка конвертера словарей (0x%lX). Словарь "%s" не будет установлен.
Эта проблема возникла из-за различия между структурами словарей для систем VelmarSoft 98/Tolvano и KALDO. Это касается и бинарной, и логической структур словарей. По этой причине автоматическое преобразование словарей для различных систем невозможно. Пожалуйста, пришлите ваши словари по адресу технической поддержки компании KALDO, и мы постараемся перенести Вашу информацию в новые словари для KALDO. Мы надеемся, что самая важная информация будет сохранена. Как только мы это сделаем, мы вернем Вам словари. Пожалуйста, перед посылкой словарей зарегистрируйтесь и купите программное обеспечение. Преобразование будет сделано бесплатно.</source>
        <translation>Dictionary converter error (0x%lX). The dictionary "%s" will not be installed.
This problem is caused by the differences between the dictionary structures of the VelmarSoft 98/Tolvano and KALDO systems, both binary and logical. For this reason dictionaries cannot be converted between these systems automatically. Please send your dictionaries to KALDO technical support, and we will try to move your information into new KALDO dictionaries. We hope that the most important information will be preserved. As soon as this is done, we will return the dictionaries to you. Please register and buy the software before you send the dictionaries. The conversion will be done free of charge.</translation>
    </message>
    <message id="s1035">
        <source>Систем перевода семейства KALDO на вашем компьютере не обнаружено.</source>
        <translation>No KALDO translation system was found on this computer.</translation>
    </message>
    <message id="s1072">
        <source>Пожалуйста, укажите путь к установочным файлам.</source>
        <translation>Please enter the path to the installation files.</translation>
    </message>
    <message id="s1077">
        <source>Ни один из словарей не может быть установлен, поскольку на вашем компьютере не поддерживаются соответствующие языковые пары.</source>
        <translation>None of the dictionaries can be installed, because the corresponding language pairs are not supported on this computer.</translation>
    </message>
    <message id="s2001">
        <source>Ошибка при чтении информации об устанавливаемых коллекциях словарей.</source>
        <translation>Error reading the information about the dictionary collections to install.</translation>
    </message>
    <message id="s2002">
        <source>%s коллекция словарей "%s"</source>
        <translation>%s dictionary collection "%s"</translation>
    </message>
    <message id="s2003">
        <source>Количество свободного дискового пространства недостаточно для успешной установки выбранных словарей. Продолжить процесс установки?</source>
        <translation>There is not enough free disk space to install the selected dictionaries. Continue the installation?</translation>
    </message>
    <message id="s2004">
        <source>Часть выбранных словарей не может быть установлена, поскольку на вашем компьютере не поддерживаются соответствующие языковые пары.</source>
        <translation>Some of the selected dictionaries cannot be installed, because the corresponding language pairs are not supported on this computer.</translation>
    </message>
    <message id="s2005">
        <source>Данная коллекция не может быть установлена, поскольку на вашем компьютере не поддерживается соответствующая языковая пара.</source>
        <translation>This collection cannot be installed, because the corresponding language pair is not supported on this computer.</translation>
    </message>
    <message id="s2006">
        <source>Ошибка при импортировании словаря.

Словарь "%s" не будет установлен.</source>
        <translation>Error importing the dictionary.

The dictionary "%s" will not be installed.</translation>
    </message>
    <message id="s2016">
        <source>Установка выбранной коллекции словарей закончена.
Хотите установить другую коллекцию?</source>
        <translation>The installation of the selected dictionary collection is complete.
Do you want to install another collection?</translation>
    </message>
    <message id="s2017">
        <source>В дистрибутиве отсутствуют коллекции словарей.</source>
        <translation>The distribution contains no dictionary collections.</translation>
    </message>
    <message id="s2019">
        <source>Идет процесс установки выбранной коллекции словарей.</source>
        <translation>The selected dictionary collection is being installed.</translation>
    </message>
    <message id="s2025">
        <source>Входной и/или выходной язык словаря "%s" не соответствует языковой паре коллекции словарей. Словарь не будет установлен.</source>
        <translation>The source and/or target language of the dictionary "%s" does not match the language pair of the dictionary collection. The dictionary will not be installed.</translation>
    </message>
    <message id="s2027">
        <source>Вы не имеете прав администратора на этом компьютере. Установка может быть запущена только администратором. Обратитесь к системному администратору.</source>
        <translation>You do not have administrator rights on this computer. Only an administrator can run the installation. Please contact your system administrator.</translation>
    </message>
    <message id="s2028">
        <source>Ошибка при открытии файла словаря. Словарь не будет установлен. </source>
        <translation>Error opening the dictionary file. The dictionary will not be installed. </translation>
    </message>
    <message id="s2032">
        <source>Коллекцию словарей "%s" удалить нельзя.</source>
        <translation>The dictionary collection "%s" cannot be removed.</translation>
    </message>
    <message id="s2034">
        <source>Коллекцию словарей "%s" нельзя удалить. Словари из данной коллекции редактируются в другом приложении или другим пользователем. </source>
        <translation>The dictionary collection "%s" cannot be removed. Its dictionaries are being edited in another application or by another user. </translation>
    </message>
    <message id="s2040">
        <source>Указанный каталог не содержит установочных файлов коллекций словарей.</source>
        <translation>The specified folder does not contain dictionary collection installation files.</translation>
    </message>
    <message id="s2041">
        <source>Каталог для временных файлов "%s" не может быть использован: его нельзя создать, он принадлежит другому пользователю или не является каталогом.
Удалите его или измените права доступа и повторите установку.</source>
        <translation>The folder for temporary files "%s" cannot be used: it cannot be created, belongs to another user or is not a folder.
Remove it or change its permissions and repeat the installation.</translation>
    </message>
    <message id="s2042">
        <source>Словарь "%s" не установлен.</source>
        <translation>The dictionary "%s" was not installed.</translation>
    </message>
    <message id="s2043">
        <source>Установка выбранной коллекции словарей прервана.</source>
        <translation>The installation of the selected dictionary collection was cancelled.</translation>
    </message>
    <message id="s2044">
        <source>Установка выбранной коллекции словарей закончена, но установлено не всё.</source>
        <translation>The installation of the selected dictionary collection has finished, but not everything was installed.</translation>
    </message>
    <message id="s2045">
        <source>%s: установлено — %d, уже были в системе — %d, не установлено из-за ошибок — %d, из-за отмены — %d.</source>
        <translation>%s: installed — %d, already in the system — %d, not installed because of errors — %d, because of the cancel — %d.</translation>
    </message>
    <message id="s2046">
        <source>Профили перевода</source>
        <translation>Translation profiles</translation>
    </message>
    <message id="s2047">
        <source>Словари</source>
        <translation>Dictionaries</translation>
    </message>
    <message id="s2048">
        <source>Базы ТМ</source>
        <translation>TM bases</translation>
    </message>
    <message id="s2049">
        <source>Не установлены:</source>
        <translation>Not installed:</translation>
    </message>
    <message id="s2050">
        <source>Установка прервана пользователем.</source>
        <translation>The installation was cancelled by the user.</translation>
    </message>
    <message id="s2051">
        <source>Хотите установить другую коллекцию?</source>
        <translation>Do you want to install another collection?</translation>
    </message>
    <message id="s2052">
        <source>Ни одну коллекцию словарей этого дистрибутива нельзя установить: на вашем компьютере не поддерживаются нужные языковые пары (%s).</source>
        <translation>No dictionary collection of this distribution can be installed: the language pairs it needs are not supported on your computer (%s).</translation>
    </message>
    <message id="s2053">
        <source>Установка остановлена ошибкой ядра перевода.</source>
        <translation>The installation was stopped by an error of the translation kernel.</translation>
    </message>
    <message id="s2054">
        <source>Установка выбранной коллекции словарей закончена, но ничего не установлено.</source>
        <translation>The installation of the selected dictionary collection has finished, but nothing was installed.</translation>
    </message>
    <message id="s2950">
        <source>© Velmar Soft. Программа защищена законом об авторском праве.
Незаконное копирование и распространение преследуются по закону.</source>
        <translation>© Velmar Soft. This program is protected by copyright law.
Unauthorized copying and distribution are prosecuted by law.</translation>
    </message>
    <message id="s2951">
        <source>ОК</source>
        <translation>OK</translation>
    </message>
    <message id="s2952">
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message id="s2953">
        <source>&amp;Повторить</source>
        <translation>&amp;Retry</translation>
    </message>
    <message id="s2954">
        <source>&amp;Да</source>
        <translation>&amp;Yes</translation>
    </message>
    <message id="s2955">
        <source>&amp;Нет</source>
        <translation>&amp;No</translation>
    </message>
    <message id="s3001">
        <source>Требуется места на диске:</source>
        <translation>Disk space required:</translation>
    </message>
    <message id="s3002">
        <source>Свободно места на диске:</source>
        <translation>Disk space free:</translation>
    </message>
    <message id="s57344">
        <source>Инсталлятор словарей</source>
        <translation>Dictionary Installer</translation>
    </message>
    <message id="s57346">
        <source>Португальско</source>
        <translation>Portuguese</translation>
    </message>
    <message id="s57347">
        <source>Польско</source>
        <translation>Polish</translation>
    </message>
    <message id="s57348">
        <source>Голландско</source>
        <translation>Dutch</translation>
    </message>
    <message id="s57349">
        <source>португальский</source>
        <translation>Portuguese</translation>
    </message>
    <message id="s57350">
        <source>польский</source>
        <translation>Polish</translation>
    </message>
    <message id="s57351">
        <source>голландский</source>
        <translation>Dutch</translation>
    </message>
    <message id="s57352">
        <source>Неверный формат словаря.

%s не будет установлен.</source>
        <translation>Invalid dictionary format.

%s will not be installed.</translation>
    </message>
    <message id="s57355">
        <source>Ошибка при обращении к сервису установки.</source>
        <translation>Error accessing the installation service.</translation>
    </message>
    <message id="s57356">
        <source>%s Генеральный словарь не доступен.
Закройте все приложения системы KALDO, работающие с данной языковой парой.</source>
        <translation>%s The general dictionary is not available.
Close all KALDO applications that work with this language pair.</translation>
    </message>
    <message id="s57357">
        <source>"%s" не будет установлен</source>
        <translation>"%s" will not be installed</translation>
    </message>
    <message id="s57362">
        <source>Испанско</source>
        <translation>Spanish</translation>
    </message>
    <message id="s57363">
        <source>испанский</source>
        <translation>Spanish</translation>
    </message>
    <message id="s57364">
        <source>Ошибка при импортировании словаря.

Словарь "%s" не будет установлен.</source>
        <translation>Error importing the dictionary.

The dictionary "%s" will not be installed.</translation>
    </message>
    <message id="s57366">
        <source>Нарушение прав доступа при импортировании словаря. Удалите ранее установленный словарь или измените права доступа.

%s не будет установлен.</source>
        <translation>Access violation while importing the dictionary. Remove the previously installed dictionary or change the access rights.

%s will not be installed.</translation>
    </message>
    <message id="s57371">
        <source>Доступ к ядру перевода запрещен. Пожалуйста, закройте все запущенные приложения системы KALDO и повторите операцию.  </source>
        <translation>Access to the translation kernel is denied. Please close all running KALDO applications and repeat the operation.  </translation>
    </message>
    <message id="CAddRemoveDlg.ctl1.text">
        <source>&amp;Далее &gt;</source>
        <translation>&amp;Next &gt;</translation>
    </message>
    <message id="CAddRemoveDlg.ctl1001.text">
        <source>&lt; &amp;Назад</source>
        <translation>&lt; &amp;Back</translation>
    </message>
    <message id="CAddRemoveDlg.ctl2.text">
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message id="CAddRemoveDlg.ctl2009.text">
        <source>Установить &amp;коллекцию словарей</source>
        <translation>Install a dictionary &amp;collection</translation>
    </message>
    <message id="CAddRemoveDlg.ctl2010.text">
        <source>Удалить кол&amp;лекции словарей</source>
        <translation>&amp;Remove dictionary collections</translation>
    </message>
    <message id="CAddRemoveDlg.staticPrompt.text">
        <source>Выберите нужное действие и нажмите "Далее" для продолжения:</source>
        <translation>Choose the action and click "Next" to continue:</translation>
    </message>
    <message id="CAddRemoveDlg.windowTitle">
        <source>Выбор действия</source>
        <translation>Choose an Action</translation>
    </message>
    <message id="CConfirmDlg.ctl1.text">
        <source>&amp;Да </source>
        <translation>&amp;Yes </translation>
    </message>
    <message id="CConfirmDlg.ctl2.text">
        <source>&amp;Нет</source>
        <translation>&amp;No</translation>
    </message>
    <message id="CConfirmDlg.staticQuestion.text">
        <source>Вы уверены, что хотите прервать установку коллекции словарей?</source>
        <translation>Are you sure you want to stop the installation of the dictionary collection?</translation>
    </message>
    <message id="CConfirmDlg.windowTitle">
        <source>Инсталлятор словарей</source>
        <translation>Dictionary Installer</translation>
    </message>
    <message id="CKaldoPathDlg.ctl1.text">
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message id="CKaldoPathDlg.ctl1006.text">
        <source>Это сообщение</source>
        <translation>This message</translation>
    </message>
    <message id="CKaldoPathDlg.ctl1035.text">
        <source>&amp;Обзор...</source>
        <translation>&amp;Browse...</translation>
    </message>
    <message id="CKaldoPathDlg.ctl2.text">
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message id="CKaldoPathDlg.windowTitle">
        <source>Установка коллекции словарей</source>
        <translation>Dictionary Collection Installation</translation>
    </message>
    <message id="CWelcomeDlg.ctl1.text">
        <source>&amp;Далее &gt;</source>
        <translation>&amp;Next &gt;</translation>
    </message>
    <message id="CWelcomeDlg.ctl2.text">
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message id="CWelcomeDlg.staticAdvice.text">
        <source>Перед тем как продолжить процесс инсталляции, настоятельно рекомендуем завершить работу всех программ системы перевода KALDO.</source>
        <translation>Before you continue the installation, we strongly recommend that you close all programs of the KALDO translation system.</translation>
    </message>
    <message id="CWelcomeDlg.staticGreeting.text">
        <source>Вас приветствует мастер установки коллекций словарей.</source>
        <translation>Welcome to the dictionary collection installation wizard.</translation>
    </message>
    <message id="CWelcomeDlg.windowTitle">
        <source>Добро пожаловать!</source>
        <translation>Welcome!</translation>
    </message>
    <message id="CollectionPage.ctl1.text">
        <source>&amp;Далее&gt;</source>
        <translation>&amp;Next&gt;</translation>
    </message>
    <message id="CollectionPage.ctl1001.text">
        <source>&lt; &amp;Назад</source>
        <translation>&lt; &amp;Back</translation>
    </message>
    <message id="CollectionPage.ctl1012.text">
        <source>Выберите коллекцию словарей для установки:</source>
        <translation>Choose the dictionary collection to install:</translation>
    </message>
    <message id="CollectionPage.ctl1052.accessibleDescription">
        <source>Коллекции словарей дистрибутива, которые можно установить</source>
        <translation>The distribution's dictionary collections that can be installed</translation>
    </message>
    <message id="CollectionPage.ctl1052.accessibleName">
        <source>Коллекции словарей</source>
        <translation>Dictionary collections</translation>
    </message>
    <message id="CollectionPage.ctl2.text">
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message id="CollectionPage.windowTitle">
        <source>Выбор коллекции словарей</source>
        <translation>Choose a Dictionary Collection</translation>
    </message>
    <message id="ProfilesPage.ctl1.text">
        <source>&amp;Далее &gt;</source>
        <translation>&amp;Next &gt;</translation>
    </message>
    <message id="ProfilesPage.ctl1001.text">
        <source>&lt; &amp;Назад</source>
        <translation>&lt; &amp;Back</translation>
    </message>
    <message id="ProfilesPage.ctl1002.accessibleName">
        <source>Требуется и свободно места на диске</source>
        <translation>Disk space required and free</translation>
    </message>
    <message id="ProfilesPage.ctl1029.text">
        <source>&amp;Выбрать все</source>
        <translation>Select &amp;all</translation>
    </message>
    <message id="ProfilesPage.ctl1030.text">
        <source>&amp;Исключить все</source>
        <translation>&amp;Deselect all</translation>
    </message>
    <message id="ProfilesPage.ctl1039.accessibleDescription">
        <source>Отмеченные профили перевода будут установлены</source>
        <translation>The selected translation profiles will be installed</translation>
    </message>
    <message id="ProfilesPage.ctl1039.accessibleName">
        <source>Профили перевода</source>
        <translation>Translation profiles</translation>
    </message>
    <message id="ProfilesPage.ctl1048.text">
        <source>Заменять</source>
        <translation>Replace</translation>
    </message>
    <message id="ProfilesPage.ctl1049.text">
        <source>Пропускать</source>
        <translation>Skip</translation>
    </message>
    <message id="ProfilesPage.ctl1050.text">
        <source>Спрашивать</source>
        <translation>Ask</translation>
    </message>
    <message id="ProfilesPage.ctl2.text">
        <source>Отменить</source>
        <translation>Cancel</translation>
    </message>
    <message id="ProfilesPage.groupReplace.title">
        <source>Установленные профили перевода и базы ТМ</source>
        <translation>Installed translation profiles and TM bases</translation>
    </message>
    <message id="ProfilesPage.staticPrompt.text">
        <source>Выберите профили перевода, которые требуется установить:</source>
        <translation>Choose the translation profiles to install:</translation>
    </message>
    <message id="ProfilesPage.staticSpace.text">
        <source>Требуется места на диске:
Свободно места на диске:</source>
        <translation>Disk space required:
Disk space free:</translation>
    </message>
    <message id="ProfilesPage.windowTitle">
        <source>Выбор профилей перевода</source>
        <translation>Choose Translation Profiles</translation>
    </message>
    <message id="ProgressPage.ctl1.text">
        <source>&amp;Далее &gt;</source>
        <translation>&amp;Next &gt;</translation>
    </message>
    <message id="ProgressPage.ctl1001.text">
        <source>&lt; &amp;Назад</source>
        <translation>&lt; &amp;Back</translation>
    </message>
    <message id="ProgressPage.ctl1005.accessibleName">
        <source>Ход установки текущего файла</source>
        <translation>Progress of the current file</translation>
    </message>
    <message id="ProgressPage.ctl1006.text">
        <source>Устанавливается
%s</source>
        <translation>Installing
%s</translation>
    </message>
    <message id="ProgressPage.ctl1009.text">
        <source>Устанавливается %d-й словарь</source>
        <translation>Installing dictionary %d</translation>
    </message>
    <message id="ProgressPage.ctl1010.text">
        <source>Общее число устанавливаемых словарей - %d</source>
        <translation>Dictionaries to install: %d</translation>
    </message>
    <message id="ProgressPage.ctl1011.text">
        <source>Общее число устанавливаемых баз TM - %d</source>
        <translation>TM bases to install: %d</translation>
    </message>
    <message id="ProgressPage.ctl1012.text">
        <source>Устанавливается %d-ая база TM</source>
        <translation>Installing TM base %d</translation>
    </message>
    <message id="ProgressPage.ctl2.text">
        <source>Отмена</source>
        <translation>Cancel</translation>
    </message>
    <message id="ProgressPage.ctl2018.text">
        <source>Идет процесс установки выбранных словарей.</source>
        <translation>The selected dictionaries are being installed.</translation>
    </message>
    <message id="ProgressPage.ctl2021.text">
        <source>Общее число устанавливаемых профилей перевода - %d</source>
        <translation>Translation profiles to install: %d</translation>
    </message>
    <message id="ProgressPage.ctl2022.text">
        <source>Устанавливается %d-й профиль перевода</source>
        <translation>Installing translation profile %d</translation>
    </message>
    <message id="ProgressPage.staticHint.text">
        <source>Чтобы прервать процесс установки, нажмите "Отмена".</source>
        <translation>To stop the installation, click "Cancel".</translation>
    </message>
    <message id="ProgressPage.windowTitle">
        <source>Установка коллекции словарей</source>
        <translation>Dictionary Collection Installation</translation>
    </message>
    <message id="RemovalPage.ctl1.text">
        <source>&amp;Далее &gt;</source>
        <translation>&amp;Next &gt;</translation>
    </message>
    <message id="RemovalPage.ctl1001.text">
        <source>&lt; &amp;Назад</source>
        <translation>&lt; &amp;Back</translation>
    </message>
    <message id="RemovalPage.ctl1023.text">
        <source>Удалить выбранные коллекции словарей для языковой пары</source>
        <translation>Remove the selected dictionary collections of the language pair</translation>
    </message>
    <message id="RemovalPage.ctl1025.text">
        <source>Удалить все коллекции словарей указанной языковой пары</source>
        <translation>Remove all dictionary collections of the language pair</translation>
    </message>
    <message id="RemovalPage.ctl1026.text">
        <source>Удалить все коллекции словарей</source>
        <translation>Remove all dictionary collections</translation>
    </message>
    <message id="RemovalPage.ctl1027.accessibleName">
        <source>Языковая пара</source>
        <translation>Language pair</translation>
    </message>
    <message id="RemovalPage.ctl1039.accessibleDescription">
        <source>Отмеченные коллекции словарей будут удалены</source>
        <translation>The selected dictionary collections will be removed</translation>
    </message>
    <message id="RemovalPage.ctl1039.accessibleName">
        <source>Коллекции словарей языковой пары</source>
        <translation>Dictionary collections of the language pair</translation>
    </message>
    <message id="RemovalPage.ctl2.text">
        <source>&amp;Выход</source>
        <translation>E&amp;xit</translation>
    </message>
    <message id="RemovalPage.ctl2010.text">
        <source>&amp;Удалить</source>
        <translation>&amp;Remove</translation>
    </message>
    <message id="RemovalPage.staticDirection.text">
        <source>Укажите языковую пару:</source>
        <translation>Language pair:</translation>
    </message>
    <message id="RemovalPage.staticList.text">
        <source>Выберите коллекции словарей, которые требуется удалить:</source>
        <translation>Choose the dictionary collections to remove:</translation>
    </message>
    <message id="RemovalPage.windowTitle">
        <source>Выбор коллекций словарей</source>
        <translation>Choose Dictionary Collections</translation>
    </message>
</context>
</TS>
