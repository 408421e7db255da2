// The device behaviours, one family per file; block_table.cpp binds them to blocks.
#pragma once

#include "lab/model/block_table.h"

// inquiry.cpp
void handle_inquiry(bridge_record& record, const block_request& request, block_answer& answer);

// memory.cpp: bridge memory, registers, the configuration area read window
void handle_mem_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_reg_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_reg_write(bridge_record& record, const block_request& request, block_answer& answer);

// transfer.cpp: transfer flag and transfer-length limit
void handle_xfer_flag_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_xfer_flag_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_max_xfer(bridge_record& record, const block_request& request, block_answer& answer);

// disk.cpp: disk status, disk information block, ATA IDENTIFY DEVICE
void handle_disk_status(bridge_record& record, const block_request& request, block_answer& answer);
void handle_disk_info_block(bridge_record& record, const block_request& request, block_answer& answer);
void handle_ata_identify(bridge_record& record, const block_request& request, block_answer& answer);

// bridge_info.cpp: UUID, customer page, firmware version, restart, disk speed,
// read/write mode, status block
void handle_uuid(bridge_record& record, const block_request& request, block_answer& answer);
void handle_uuid_by_offset(bridge_record& record, const block_request& request, block_answer& answer);
void handle_cust_page_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_cust_page_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_fw_version(bridge_record& record, const block_request& request, block_answer& answer);
void handle_restart(bridge_record& record, const block_request& request, block_answer& answer);
void handle_disk_speed_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_disk_speed_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_rw_mode_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_rw_mode_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_status_block(bridge_record& record, const block_request& request, block_answer& answer);

// raid.cpp: RAID mode of a two-disk bridge
void handle_raid_get(bridge_record& record, const block_request& request, block_answer& answer);
void handle_raid_set(bridge_record& record, const block_request& request, block_answer& answer);

// i2c.cpp: I2C master init, write, read and read after write
void handle_i2c_init(bridge_record& record, const block_request& request, block_answer& answer);
void handle_i2c_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_i2c_read(bridge_record& record, const block_request& request, block_answer& answer);

// gpio.cpp: GPIO mux, direction, output value and pin read
void handle_gpio_mux(bridge_record& record, const block_request& request, block_answer& answer);
void handle_gpio_dir(bridge_record& record, const block_request& request, block_answer& answer);
void handle_gpio_set(bridge_record& record, const block_request& request, block_answer& answer);
void handle_gpio_get(bridge_record& record, const block_request& request, block_answer& answer);

// uart.cpp: serial receiver setup, transmit, receive count, receive, clear
void handle_uart_init(bridge_record& record, const block_request& request, block_answer& answer);
void handle_uart_transmit(bridge_record& record, const block_request& request, block_answer& answer);
void handle_uart_count(bridge_record& record, const block_request& request, block_answer& answer);
void handle_uart_receive(bridge_record& record, const block_request& request, block_answer& answer);
void handle_uart_clear(bridge_record& record, const block_request& request, block_answer& answer);

// nvme.cpp: the NVMe tunnel (submit, data phase, completion) and the bridge's NVMe settings
void handle_nvme_submit(bridge_record& record, const block_request& request, block_answer& answer);
void handle_nvme_data(bridge_record& record, const block_request& request, block_answer& answer);
void handle_nvme_completion(bridge_record& record, const block_request& request, block_answer& answer);
void handle_nvme_setting(bridge_record& record, const block_request& request, block_answer& answer);
// led.cpp: LED function blocks (application control, LED memory, direct RGB, support
// queries); the READ(10) that settles the LED memory is a media read (scsi_disk.cpp)
void handle_led_app_ctl_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_led_app_ctl_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_led_memory_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_led_memory_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_led_direct(bridge_record& record, const block_request& request, block_answer& answer);
void handle_led_sync_support(bridge_record& record, const block_request& request, block_answer& answer);
void handle_led_argb_support(bridge_record& record, const block_request& request, block_answer& answer);
// pcie.cpp: the PCIe function's configuration and memory space
void handle_pcie_conf_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_pcie_conf_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_pcie_mem_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_pcie_mem_write(bridge_record& record, const block_request& request, block_answer& answer);

// ata.cpp: a SATA disk's SMART READ DATA and SET FEATURES
void handle_ata_smart_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_ata_set_features(bridge_record& record, const block_request& request, block_answer& answer);
// flash.cpp: the flash write path (address, then whole sectors)
void handle_flash_address(bridge_record& record, const block_request& request, block_answer& answer);
void handle_flash_data(bridge_record& record, const block_request& request, block_answer& answer);

// scsi_disk.cpp: the standard block commands of the disk the bridge presents
void handle_test_unit_ready(bridge_record& record, const block_request& request, block_answer& answer);
void handle_read_capacity10(bridge_record& record, const block_request& request, block_answer& answer);
void handle_read_capacity16(bridge_record& record, const block_request& request, block_answer& answer);
void handle_media_read(bridge_record& record, const block_request& request, block_answer& answer);
void handle_media_write(bridge_record& record, const block_request& request, block_answer& answer);
void handle_mode_sense(bridge_record& record, const block_request& request, block_answer& answer);
void handle_request_sense(bridge_record& record, const block_request& request, block_answer& answer);
void handle_accept(bridge_record& record, const block_request& request, block_answer& answer);
void handle_synchronize_cache(bridge_record& record, const block_request& request, block_answer& answer);
// Firmware update
void handle_fw_state(bridge_record& record, const block_request& request, block_answer& answer);
