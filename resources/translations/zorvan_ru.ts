<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ru_RU" sourcelanguage="en">
<context>
    <name>ZVMainWindow</name>
    <message>
        <source>&amp;Sound</source>
        <translation>&amp;Звук</translation>
    </message>
    <message>
        <source>S&amp;ervers</source>
        <translation>С&amp;ерверы</translation>
    </message>
    <message>
        <source>&amp;Cameras</source>
        <translation>&amp;Камеры</translation>
    </message>
    <message>
        <source>&amp;Reload Server</source>
        <translation>&amp;Обновить сервер</translation>
    </message>
    <message>
        <source>&amp;Edit Server List…</source>
        <translation>&amp;Список серверов…</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>В&amp;ыход</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Вид</translation>
    </message>
    <message>
        <source>Cameras on Page</source>
        <translation>Камер на странице</translation>
    </message>
    <message>
        <source>Camera Wall</source>
        <translation>Стена камер</translation>
    </message>
    <message>
        <source>Next Page</source>
        <translation>Следующая страница</translation>
    </message>
    <message>
        <source>Previous Page</source>
        <translation>Предыдущая страница</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Во весь экран</translation>
    </message>
    <message>
        <source>Listen</source>
        <translation>Слушать</translation>
    </message>
    <message>
        <source>&amp;Save Picture</source>
        <translation>&amp;Сохранить снимок</translation>
    </message>
    <message>
        <source>Live Video</source>
        <translation>Живое видео</translation>
    </message>
</context>
<context>
    <name>ZVServerSettings</name>
    <message>
        <source>Servers</source>
        <translation>Серверы</translation>
    </message>
    <message>
        <source>Add a server</source>
        <translation>Добавить сервер</translation>
    </message>
    <message>
        <source>Remove the selected server</source>
        <translation>Удалить выбранный сервер</translation>
    </message>
    <message>
        <source>Keep passwords in the system keyring</source>
        <translation>Хранить пароли в системной связке ключей</translation>
    </message>
</context>
<context>
    <name>Zorvan</name>
    <message>
        <source>Connection error</source>
        <translation>Ошибка соединения</translation>
    </message>
    <message>
        <source>Server is not available</source>
        <translation>Сервер недоступен</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Ошибка</translation>
    </message>
    <message>
        <source>Server:</source>
        <translation>Сервер:</translation>
    </message>
    <message>
        <source>Address:</source>
        <translation>Адрес:</translation>
    </message>
    <message>
        <source>Port:</source>
        <translation>Порт:</translation>
    </message>
    <message>
        <source>Username:</source>
        <translation>Имя пользователя:</translation>
    </message>
    <message>
        <source>Password:</source>
        <translation>Пароль:</translation>
    </message>
    <message>
        <source>fps:</source>
        <translation>Кадров/с:</translation>
    </message>
    <message>
        <source>Connecting to stream.</source>
        <translation>Подключение к потоку.</translation>
    </message>
    <message>
        <source>Connecting to stream</source>
        <translation>Подключение к потоку</translation>
    </message>
    <message>
        <source>Buffering...</source>
        <translation>Буферизация...</translation>
    </message>
    <message>
        <source>Closed by server.</source>
        <translation>Закрыто сервером.</translation>
    </message>
    <message>
        <source>The data format is not supported by this file type.</source>
        <translation>Формат данных не поддерживается этим типом файла.</translation>
    </message>
    <message>
        <source>The file is malformed, or otherwise not a valid instance of an audio file of its type.</source>
        <translation>Файл повреждён или не является допустимым аудиофайлом своего типа.</translation>
    </message>
    <message>
        <source>This microphone has no usable sound address.</source>
        <translation>У этого микрофона нет пригодного адреса звука.</translation>
    </message>
    <message>
        <source>Cannot create the temporary sound file.</source>
        <translation>Не удаётся создать временный звуковой файл.</translation>
    </message>
    <message>
        <source>Cannot write the temporary sound file.</source>
        <translation>Не удаётся записать временный звуковой файл.</translation>
    </message>
    <message>
        <source>Cannot communicate with the server.</source>
        <translation>Нет связи с сервером.</translation>
    </message>
    <message>
        <source>No sound output is available.</source>
        <translation>Нет доступного устройства вывода звука.</translation>
    </message>
    <message>
        <source>The sound output failed.</source>
        <translation>Сбой вывода звука.</translation>
    </message>
    <message>
        <source>The sound stream has ended.</source>
        <translation>Звуковой поток закончился.</translation>
    </message>
    <message>
        <source>Playing</source>
        <translation>Воспроизведение</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Пауза</translation>
    </message>
    <message>
        <source>Sound stopped.</source>
        <translation>Звук остановлен.</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>Громкость</translation>
    </message>
    <message>
        <source>No picture for %1 s</source>
        <translation>Нет изображения %1 с</translation>
    </message>
    <message>
        <source>%1 pictures/s</source>
        <translation>%1 кадр./с</translation>
    </message>
    <message>
        <source>%1 pictures/s, round trip %2 ms</source>
        <translation>%1 кадр./с, отклик %2 мс</translation>
    </message>
    <message>
        <source>Show Picture Rate</source>
        <translation>Показывать частоту кадров</translation>
    </message>
    <message>
        <source>The server passwords are kept in the system keyring, which is locked or not available. The servers are asked without their passwords.</source>
        <translation>Пароли серверов хранятся в системной связке ключей, но она заблокирована или недоступна. Запросы к серверам идут без паролей.</translation>
    </message>
    <message>
        <source>The system keyring did not take the new password. It is kept in the settings file until the keyring can take it.</source>
        <translation>Системная связка ключей не приняла новый пароль. Он хранится в файле настроек, пока связка ключей не сможет его принять.</translation>
    </message>
    <message>
        <source>Asking the system keyring...</source>
        <translation>Обращение к системной связке ключей...</translation>
    </message>
    <message>
        <source>The system keyring is locked. Unlock it, then open the server list again.</source>
        <translation>Системная связка ключей заблокирована. Разблокируйте её и снова откройте список серверов.</translation>
    </message>
    <message>
        <source>No system keyring is available: no Secret Service answers on the session bus.</source>
        <translation>Системная связка ключей недоступна: служба Secret Service не отвечает на сеансовой шине.</translation>
    </message>
    <message>
        <source>Moving the passwords...</source>
        <translation>Перенос паролей...</translation>
    </message>
    <message>
        <source>The system keyring did not take the passwords.</source>
        <translation>Системная связка ключей не приняла пароли.</translation>
    </message>
    <message>
        <source>Saved to %1</source>
        <translation>Сохранено в %1</translation>
    </message>
    <message>
        <source>Cannot save the picture: %1</source>
        <translation>Не удаётся сохранить снимок: %1</translation>
    </message>
    <message>
        <source>no pictures folder</source>
        <translation>нет папки изображений</translation>
    </message>
    <message>
        <source>Live video unavailable: %1. Showing pictures.</source>
        <translation>Видео недоступно: %1. Показываются снимки.</translation>
    </message>
    <message>
        <source>its address is not the server&apos;s</source>
        <translation>его адрес ведёт не на этот сервер</translation>
    </message>
    <message>
        <source>no connection</source>
        <translation>нет соединения</translation>
    </message>
    <message>
        <source>the server sent no video</source>
        <translation>сервер не прислал видео</translation>
    </message>
    <message>
        <source>a kind of video this viewer cannot play</source>
        <translation>видео такого вида не воспроизводится</translation>
    </message>
    <message>
        <source>the video&apos;s pictures are too large</source>
        <translation>кадры видео слишком велики</translation>
    </message>
    <message>
        <source>no frame for 3 s</source>
        <translation>нет кадров 3 с</translation>
    </message>
    <message>
        <source>the server ended the video</source>
        <translation>сервер завершил видео</translation>
    </message>
    <message>
        <source>The layouts file could not be read. It was kept as layouts.json.corrupt and the layouts start empty.</source>
        <translation>Файл раскладок не удалось прочитать. Он сохранён как layouts.json.corrupt, список раскладок начинается пустым.</translation>
    </message>
    <message>
        <source>Some entries of the layouts file could not be used and were left out or corrected. The file as it was is kept as layouts.json.corrupt.</source>
        <translation>Некоторые записи файла раскладок оказались непригодны и были пропущены или исправлены. Файл в прежнем виде сохранён как layouts.json.corrupt.</translation>
    </message>
    <message>
        <source>The layouts could not be saved. Zorvan keeps your changes and keeps trying until they are saved.</source>
        <translation>Раскладки не удалось сохранить. Zorvan хранит ваши изменения и повторяет попытки, пока они не будут сохранены.</translation>
    </message>
    <message>
        <source>The layouts file holds more windows than Zorvan opens at a start: the first 16 were opened, and the others are kept in the file.</source>
        <translation>В файле раскладок больше окон, чем Zorvan открывает при запуске: открыты первые 16, остальные сохранены в файле.</translation>
    </message>
    <message>
        <source>unknown option &apos;%1&apos;</source>
        <translation>неизвестный параметр «%1»</translation>
    </message>
    <message>
        <source>unexpected argument &apos;%1&apos;</source>
        <translation>лишний аргумент «%1»</translation>
    </message>
    <message>
        <source>option &apos;%1&apos; takes no value</source>
        <translation>параметр «%1» не принимает значения</translation>
    </message>
    <message>
        <source>option &apos;%1&apos; needs a value</source>
        <translation>параметру «%1» нужно значение</translation>
    </message>
    <message>
        <source>only one of --layout, --tour and --server may be given</source>
        <translation>можно указать только один из параметров --layout, --tour и --server</translation>
    </message>
    <message>
        <source>option &apos;%1&apos; is given twice</source>
        <translation>параметр «%1» указан дважды</translation>
    </message>
    <message>
        <source>--camera needs --server</source>
        <translation>для --camera нужен --server</translation>
    </message>
    <message>
        <source>Usage: zorvan [--layout NAME | --tour NAME | --server NAME [--camera NAME]] [--screen N|NAME] [--full-screen] [--new-window]</source>
        <translation>Использование: zorvan [--layout ИМЯ | --tour ИМЯ | --server ИМЯ [--camera ИМЯ]] [--screen N|ИМЯ] [--full-screen] [--new-window]</translation>
    </message>
    <message>
        <source>  --layout NAME     show the saved layout NAME</source>
        <translation>  --layout ИМЯ      показать сохранённую раскладку ИМЯ</translation>
    </message>
    <message>
        <source>  --tour NAME       run the tour NAME</source>
        <translation>  --tour ИМЯ        запустить обход ИМЯ</translation>
    </message>
    <message>
        <source>  --server NAME     show the cameras of the server NAME</source>
        <translation>  --server ИМЯ      показать камеры сервера ИМЯ</translation>
    </message>
    <message>
        <source>  --camera NAME     with --server: show the camera NAME</source>
        <translation>  --camera ИМЯ      вместе с --server: показать камеру ИМЯ</translation>
    </message>
    <message>
        <source>  --screen N|NAME   open on screen N (from 0) or the screen NAME</source>
        <translation>  --screen N|ИМЯ    открыть на экране N (с 0) или на экране ИМЯ</translation>
    </message>
    <message>
        <source>  --full-screen     start in full screen</source>
        <translation>  --full-screen     начать во весь экран</translation>
    </message>
    <message>
        <source>  --new-window      show it in a new window of the running viewer</source>
        <translation>  --new-window      показать в новом окне запущенного просмотрщика</translation>
    </message>
    <message>
        <source>  -h, --help        show this help and exit</source>
        <translation>  -h, --help        показать эту справку и выйти</translation>
    </message>
    <message>
        <source>  -v, --version     show the version and exit</source>
        <translation>  -v, --version     показать версию и выйти</translation>
    </message>
    <message>
        <source>Try &apos;zorvan --help&apos; for more information.</source>
        <translation>Подробнее: «zorvan --help».</translation>
    </message>
    <message>
        <source>Showing live pictures in full screen</source>
        <translation>Показ живого изображения во весь экран</translation>
    </message>
    <message>
        <source>&amp;Layouts</source>
        <translation>&amp;Раскладки</translation>
    </message>
    <message>
        <source>Save Wall as Layout…</source>
        <translation>Сохранить стену как раскладку…</translation>
    </message>
    <message>
        <source>Edit Layouts…</source>
        <translation>Изменить раскладки…</translation>
    </message>
    <message>
        <source>Clear Cell</source>
        <translation>Очистить ячейку</translation>
    </message>
    <message>
        <source>Lock Layouts</source>
        <translation>Закрепить раскладки</translation>
    </message>
    <message>
        <source>The layout is locked. Layouts ▸ Lock Layouts unlocks it.</source>
        <translation>Раскладка закреплена. Снять: Раскладки ▸ Закрепить раскладки.</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Правка</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>Отменить</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>Повторить</translation>
    </message>
    <message>
        <source>Activity</source>
        <translation>Движение</translation>
    </message>
    <message>
        <source>activity %1 % of %2 %</source>
        <translation>движение %1 % из %2 %</translation>
    </message>
    <message>
        <source>Preferences…</source>
        <translation>Настройки…</translation>
    </message>
    <message>
        <source>Preferences</source>
        <translation>Настройки</translation>
    </message>
    <message>
        <source>Live video in at most this many cells at once:</source>
        <translation>Живое видео одновременно не более чем в стольких ячейках:</translation>
    </message>
    <message>
        <source>The largest cells play first; the others show pictures. Each video takes a part of the processor.</source>
        <translation>Видео получают сначала самые большие ячейки, остальные показывают кадры. Каждое видео занимает часть процессора.</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>&amp;Вид</translation>
    </message>
    <message>
        <source>Cameras Panel</source>
        <translation>Панель камер</translation>
    </message>
    <message>
        <source>Server Walls</source>
        <translation>Стены серверов</translation>
    </message>
    <message>
        <source>Tours</source>
        <translation>Обходы</translation>
    </message>
    <message>
        <source>Start Tour</source>
        <translation>Начать обход</translation>
    </message>
    <message>
        <source>Stop Tour</source>
        <translation>Остановить обход</translation>
    </message>
    <message>
        <source>Pause Tour</source>
        <translation>Приостановить обход</translation>
    </message>
    <message>
        <source>Resume Tour</source>
        <translation>Продолжить обход</translation>
    </message>
    <message>
        <source>Next Step</source>
        <translation>Следующий шаг</translation>
    </message>
    <message>
        <source>Previous Step</source>
        <translation>Предыдущий шаг</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>Во весь экран</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>&amp;Окно</translation>
    </message>
    <message>
        <source>New Window</source>
        <translation>Новое окно</translation>
    </message>
    <message>
        <source>Close Window</source>
        <translation>Закрыть окно</translation>
    </message>
    <message>
        <source>Save Wall as Layout</source>
        <translation>Сохранить стену как раскладку</translation>
    </message>
    <message>
        <source>Name of the layout:</source>
        <translation>Имя раскладки:</translation>
    </message>
    <message>
        <source>Layout</source>
        <translation>Раскладка</translation>
    </message>
    <message>
        <source>No layout named &quot;%1&quot;.</source>
        <translation>Нет раскладки «%1».</translation>
    </message>
    <message>
        <source>No tour named &quot;%1&quot;.</source>
        <translation>Нет обхода «%1».</translation>
    </message>
    <message>
        <source>No server named &quot;%1&quot;.</source>
        <translation>Нет сервера «%1».</translation>
    </message>
    <message>
        <source>No camera named &quot;%1&quot; on %2.</source>
        <translation>На сервере %2 нет камеры «%1».</translation>
    </message>
    <message>
        <source>No screen &quot;%1&quot;.</source>
        <translation>Нет экрана «%1».</translation>
    </message>
    <message>
        <source>Layouts: %1.</source>
        <translation>Раскладки: %1.</translation>
    </message>
    <message>
        <source>Tours: %1.</source>
        <translation>Обходы: %1.</translation>
    </message>
    <message>
        <source>Servers: %1.</source>
        <translation>Серверы: %1.</translation>
    </message>
    <message>
        <source>Cameras: %1.</source>
        <translation>Камеры: %1.</translation>
    </message>
    <message>
        <source>Server removed</source>
        <translation>Сервер удалён</translation>
    </message>
    <message>
        <source>Camera not found: %1</source>
        <translation>Камера не найдена: %1</translation>
    </message>
    <message>
        <source>Loading…</source>
        <translation>Загрузка…</translation>
    </message>
    <message>
        <source>Layout “%1” was deleted</source>
        <translation>Раскладка «%1» удалена</translation>
    </message>
    <message>
        <source>Tour “%1” was deleted</source>
        <translation>Обход «%1» удалён</translation>
    </message>
    <message>
        <source>%1 — %2</source>
        <translation>%1 — %2</translation>
    </message>
    <message>
        <source>Cameras</source>
        <translation>Камеры</translation>
    </message>
    <message>
        <source>Camera</source>
        <translation>Камера</translation>
    </message>
    <message>
        <source>State</source>
        <translation>Состояние</translation>
    </message>
    <message>
        <source>1 camera</source>
        <translation>1 камера</translation>
    </message>
    <message numerus="yes">
        <source>%n cameras</source>
        <translation>
            <numerusform>%n камера</numerusform>
            <numerusform>%n камеры</numerusform>
            <numerusform>%n камер</numerusform>
        </translation>
    </message>
    <message>
        <source>Find Camera</source>
        <translation>Найти камеру</translation>
    </message>
    <message>
        <source>Find a camera</source>
        <translation>Найти камеру</translation>
    </message>
    <message>
        <source>Live</source>
        <translation>В эфире</translation>
    </message>
    <message>
        <source>In the shown layout</source>
        <translation>В показанной раскладке</translation>
    </message>
    <message>
        <source>%1 of 1 camera live</source>
        <translation>В эфире %1 из 1 камеры</translation>
    </message>
    <message numerus="yes">
        <source>%1 of %n cameras live</source>
        <translation>
            <numerusform>В эфире %1 из %n камеры</numerusform>
            <numerusform>В эфире %1 из %n камер</numerusform>
            <numerusform>В эфире %1 из %n камер</numerusform>
        </translation>
    </message>
    <message>
        <source>Edit Layouts</source>
        <translation>Изменение раскладок</translation>
    </message>
    <message>
        <source>Layouts</source>
        <translation>Раскладки</translation>
    </message>
    <message>
        <source>Rows:</source>
        <translation>Строк:</translation>
    </message>
    <message>
        <source>Columns:</source>
        <translation>Столбцов:</translation>
    </message>
    <message>
        <source>Template:</source>
        <translation>Шаблон:</translation>
    </message>
    <message>
        <source>Cells:</source>
        <translation>Ячейки:</translation>
    </message>
    <message>
        <source>Join Cells</source>
        <translation>Объединить ячейки</translation>
    </message>
    <message>
        <source>Split Cell</source>
        <translation>Разделить ячейку</translation>
    </message>
    <message>
        <source>Tour</source>
        <translation>Обход</translation>
    </message>
    <message>
        <source> s</source>
        <translation> с</translation>
    </message>
    <message>
        <source>Pause after input:</source>
        <translation>Пауза после ввода:</translation>
    </message>
    <message>
        <source>Steps:</source>
        <translation>Шаги:</translation>
    </message>
    <message>
        <source>Dwell:</source>
        <translation>Время показа:</translation>
    </message>
    <message>
        <source>Add Layout Step</source>
        <translation>Добавить шаг с раскладкой</translation>
    </message>
    <message>
        <source>Add Wall Step</source>
        <translation>Добавить шаг со стеной</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Убрать</translation>
    </message>
    <message>
        <source>Layout: %1 — %2 s</source>
        <translation>Раскладка: %1 — %2 с</translation>
    </message>
    <message>
        <source>Wall: %1, page %2 — %3 s</source>
        <translation>Стена: %1, страница %2 — %3 с</translation>
    </message>
    <message>
        <source>unknown server</source>
        <translation>неизвестный сервер</translation>
    </message>
    <message>
        <source>There are no layouts yet: make one on the Layouts tab.</source>
        <translation>Раскладок пока нет: создайте раскладку на вкладке «Раскладки».</translation>
    </message>
    <message>
        <source>Layout:</source>
        <translation>Раскладка:</translation>
    </message>
    <message>
        <source>There are no servers yet.</source>
        <translation>Серверов пока нет.</translation>
    </message>
    <message>
        <source>Page:</source>
        <translation>Страница:</translation>
    </message>
    <message>
        <source>New</source>
        <translation>Создать</translation>
    </message>
    <message>
        <source>Rename</source>
        <translation>Переименовать</translation>
    </message>
    <message>
        <source>Duplicate</source>
        <translation>Дублировать</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>Удалить</translation>
    </message>
    <message>
        <source>Move Up</source>
        <translation>Вверх</translation>
    </message>
    <message>
        <source>Move Down</source>
        <translation>Вниз</translation>
    </message>
    <message>
        <source>%1 copy</source>
        <translation>%1 — копия</translation>
    </message>
    <message>
        <source>A name cannot be empty.</source>
        <translation>Имя не может быть пустым.</translation>
    </message>
    <message>
        <source>The name “%1” is taken.</source>
        <translation>Имя «%1» уже занято.</translation>
    </message>
    <message>
        <source>%1 — Camera Wall</source>
        <translation>%1 — Стена камер</translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation>Шаг %1 из %2</translation>
    </message>
    <message>
        <source>%1 s left</source>
        <translation>Осталось %1 с</translation>
    </message>
    <message>
        <source>Paused — resumes in %1 s</source>
        <translation>Пауза — продолжение через %1 с</translation>
    </message>
    <message>
        <source>%1 — %2 (%3/%4)</source>
        <translation>%1 — %2 (%3/%4)</translation>
    </message>
    <message>
        <source>%1 — Zorvan</source>
        <translation>%1 — Zorvan</translation>
    </message>
    <message>
        <source>Activity List</source>
        <translation>Список активности</translation>
    </message>
    <message>
        <source>Time</source>
        <translation>Время</translation>
    </message>
    <message>
        <source>Server</source>
        <translation>Сервер</translation>
    </message>
    <message>
        <source>Duration</source>
        <translation>Длительность</translation>
    </message>
    <message>
        <source>ongoing</source>
        <translation>продолжается</translation>
    </message>
    <message>
        <source>Stay on a step while one of its cameras is active</source>
        <translation>Оставаться на шаге, пока активна одна из его камер</translation>
    </message>
    <message>
        <source>Activity Settings…</source>
        <translation>Настройки активности…</translation>
    </message>
    <message>
        <source>Activity Settings: %1</source>
        <translation>Настройки активности: %1</translation>
    </message>
    <message>
        <source>Sensitivity:</source>
        <translation>Чувствительность:</translation>
    </message>
    <message>
        <source>Off</source>
        <translation>Выкл.</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>Низкая</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Обычная</translation>
    </message>
    <message>
        <source>High</source>
        <translation>Высокая</translation>
    </message>
    <message>
        <source>Remove Zone</source>
        <translation>Удалить зону</translation>
    </message>
    <message>
        <source>Clear Zones</source>
        <translation>Очистить зоны</translation>
    </message>
    <message>
        <source>Notify when active behind other windows</source>
        <translation>Уведомлять об активности, когда окна скрыты</translation>
    </message>
    <message>
        <source>Activity: %1</source>
        <translation>Активность: %1</translation>
    </message>
    <message>
        <source>Show Camera</source>
        <translation>Показать камеру</translation>
    </message>
    <message>
        <source>No picture yet</source>
        <translation>Изображения пока нет</translation>
    </message>
    <message>
        <source>Every zone is drawn (at most %1). Remove one to draw another.</source>
        <translation>Нарисованы все зоны (не более %1). Удалите одну, чтобы нарисовать другую.</translation>
    </message>
    <message>
        <source>Drag on the picture to draw a zone where changes never count; click a zone to select it.</source>
        <translation>Протяните по изображению, чтобы нарисовать зону, изменения в которой не учитываются; щелчок по зоне выбирает её.</translation>
    </message>
    <message>
        <source>Active Cameras</source>
        <translation>Активные камеры</translation>
    </message>
    <message>
        <source>The cells show the watched cameras that moved last, and the layout&apos;s own cameras while nothing moves.</source>
        <translation>Ячейки показывают наблюдаемые камеры, в кадре которых последними было движение, а пока ничего не движется — собственные камеры раскладки.</translation>
    </message>
    <message>
        <source>Every camera of %1</source>
        <translation>Все камеры %1</translation>
    </message>
    <message>
        <source>Cameras to watch:</source>
        <translation>Наблюдаемые камеры:</translation>
    </message>
    <message>
        <source>Hold after activity:</source>
        <translation>Удерживать после движения:</translation>
    </message>
    <message>
        <source>Rewind</source>
        <translation>Перемотка</translation>
    </message>
    <message>
        <source>Timeline</source>
        <translation>Шкала времени</translation>
    </message>
    <message>
        <source>Back 10 Seconds</source>
        <translation>Назад на 10 секунд</translation>
    </message>
    <message>
        <source>Forward 10 Seconds</source>
        <translation>Вперёд на 10 секунд</translation>
    </message>
    <message>
        <source>Play</source>
        <translation>Воспроизвести</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Пауза</translation>
    </message>
    <message>
        <source>Previous Picture</source>
        <translation>Предыдущий кадр</translation>
    </message>
    <message>
        <source>Next Picture</source>
        <translation>Следующий кадр</translation>
    </message>
    <message>
        <source>Slower</source>
        <translation>Медленнее</translation>
    </message>
    <message>
        <source>Faster</source>
        <translation>Быстрее</translation>
    </message>
    <message>
        <source>Mark Clip Start</source>
        <translation>Начало клипа</translation>
    </message>
    <message>
        <source>Mark Clip End</source>
        <translation>Конец клипа</translation>
    </message>
    <message>
        <source>Export Clip…</source>
        <translation>Сохранить клип…</translation>
    </message>
    <message>
        <source>Export Clips of All Cells…</source>
        <translation>Сохранить клипы всех ячеек…</translation>
    </message>
    <message>
        <source>Export Clip</source>
        <translation>Сохранение клипа</translation>
    </message>
    <message>
        <source>Exporting Clip…</source>
        <translation>Сохраняется клип…</translation>
    </message>
    <message>
        <source>Writing the clips…</source>
        <translation>Запись клипов…</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Отмена</translation>
    </message>
    <message>
        <source>▶ %1x</source>
        <translation>▶ %1×</translation>
    </message>
    <message>
        <source>%1, %2 ago</source>
        <translation>%1, %2 назад</translation>
    </message>
    <message>
        <source>Nothing kept</source>
        <translation>Ничего не сохранено</translation>
    </message>
    <message>
        <source>Keep the last minutes of every shown camera</source>
        <translation>Хранить последние минуты каждой показанной камеры</translation>
    </message>
    <message>
        <source>None, memory only</source>
        <translation>Нет, только в памяти</translation>
    </message>
    <message>
        <source>Keep them when Zorvan quits</source>
        <translation>Сохранять их при выходе из Zorvan</translation>
    </message>
    <message>
        <source>Minutes kept:</source>
        <translation>Сколько минут хранить:</translation>
    </message>
    <message>
        <source>In memory at most:</source>
        <translation>В памяти не более:</translation>
    </message>
    <message>
        <source>Beyond that, on disk at most:</source>
        <translation>Сверх того на диске не более:</translation>
    </message>
    <message>
        <source> min</source>
        <translation> мин</translation>
    </message>
    <message>
        <source> MiB</source>
        <translation> МиБ</translation>
    </message>
    <message>
        <source> GiB</source>
        <translation> ГиБ</translation>
    </message>
    <message>
        <source>Cannot write in %1: %2</source>
        <translation>Не удаётся записать в %1: %2</translation>
    </message>
    <message>
        <source>Cannot write the clip: %1</source>
        <translation>Не удаётся записать клип: %1</translation>
    </message>
    <message>
        <source>Cannot save %1: %2</source>
        <translation>Не удаётся сохранить %1: %2</translation>
    </message>
    <message>
        <source>There are too many clips named %1 in %2.</source>
        <translation>В %2 слишком много клипов с именем %1.</translation>
    </message>
    <message>
        <source>The video's format is not known.</source>
        <translation>Формат видео неизвестен.</translation>
    </message>
    <message>
        <source>The clip could not be finished.</source>
        <translation>Не удалось завершить клип.</translation>
    </message>
    <message>
        <source>Out of memory.</source>
        <translation>Недостаточно памяти.</translation>
    </message>
    <message>
        <source>This camera's video cannot be saved as a clip.</source>
        <translation>Видео этой камеры нельзя сохранить как клип.</translation>
    </message>
    <message>
        <source>The clip could not be written.</source>
        <translation>Не удалось записать клип.</translation>
    </message>
    <message>
        <source>The video's format was not kept.</source>
        <translation>Формат видео не был сохранён.</translation>
    </message>
    <message>
        <source>Part of what was kept could not be read back.</source>
        <translation>Часть сохранённого не удалось прочитать.</translation>
    </message>
    <message>
        <source>Nothing was kept of %1 at that time.</source>
        <translation>От %1 за это время ничего не сохранено.</translation>
    </message>
    <message>
        <source>The clip of %1 ends early: the camera changed its picture there.</source>
        <translation>Клип %1 заканчивается раньше: камера в этот момент сменила изображение.</translation>
    </message>
    <message>
        <source>The clip of %1 was not saved: %2</source>
        <translation>Клип %1 не сохранён: %2</translation>
    </message>
    <message>
        <source>The clip was saved as %1.</source>
        <translation>Клип сохранён как %1.</translation>
    </message>
    <message>
        <source>%1 clips were saved in %2.</source>
        <translation>Сохранено клипов: %1, в папке %2.</translation>
    </message>
</context>
</TS>
